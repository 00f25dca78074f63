// Small RAII helpers over libxml2 for the package's XML parts: parse a file strictly or in
// recovery mode, and save a tree back atomically. Entities are never expanded and nothing is
// fetched from the network, whatever the damaged input asks for.
#pragma once

#include <libxml/tree.h>
#include <memory>
#include <string>

namespace content {

struct XmlDocFree
{
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;

enum class ParseMode
{
    Strict,  // any error fails the parse
    Recover, // keep what parses: a cut document comes back with its open elements closed
};

// Null when the file cannot be read, or (strict) is not well-formed, or (recover) yields no
// root element.
[[nodiscard]] XmlDocPtr parseXmlFile(const std::string& path, ParseMode mode);
[[nodiscard]] XmlDocPtr parseXmlMemory(const std::string& text, ParseMode mode);

// Writes doc as UTF-8 to a new file beside path and renames it over path, so that a failed
// write never leaves half a part behind. A read-only file at path is replaced all the same.
[[nodiscard]] bool saveXmlFile(xmlDoc* doc, const std::string& path);

// The value of an attribute in the given namespace, or empty when absent.
[[nodiscard]] std::string attributeOf(xmlNode* node, const char* name, const char* nsUri);

// Whether node is the element nsUri:name.
[[nodiscard]] bool isElement(const xmlNode* node, const char* nsUri, const char* name);

// The first child element nsUri:name of parent, or null (also for a null parent).
[[nodiscard]] xmlNode* childElement(xmlNode* parent, const char* nsUri, const char* name);

} // namespace content
