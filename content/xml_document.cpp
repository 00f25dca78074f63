#include "content/xml_document.h"

#include <cstdio>
#include <libxml/parser.h>
#include <libxml/xmlsave.h>
#include <mutex>

namespace content {

namespace {

// Damaged parts are our normal input: errors are expected and are not printed.
void ignoreErrors(void*, const char*, ...) {}

void initialiseOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetGenericErrorFunc(nullptr, ignoreErrors);
    });
}

constexpr int BaseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

int optionsFor(ParseMode mode)
{
    return mode == ParseMode::Recover ? BaseOptions | XML_PARSE_RECOVER : BaseOptions;
}

XmlDocPtr keepIfRooted(xmlDoc* doc)
{
    XmlDocPtr owned(doc);
    if (owned && !xmlDocGetRootElement(owned.get()))
        owned.reset();
    return owned;
}

} // namespace

XmlDocPtr parseXmlFile(const std::string& path, ParseMode mode)
{
    initialiseOnce();
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context)
        return nullptr;
    xmlDoc* doc = xmlCtxtReadFile(context, path.c_str(), nullptr, optionsFor(mode));
    const bool wellFormed = context->wellFormed != 0;
    xmlFreeParserCtxt(context);
    if (mode == ParseMode::Strict && !wellFormed) {
        xmlFreeDoc(doc);
        return nullptr;
    }
    return keepIfRooted(doc);
}

XmlDocPtr parseXmlMemory(const std::string& text, ParseMode mode)
{
    initialiseOnce();
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context)
        return nullptr;
    xmlDoc* doc = xmlCtxtReadMemory(context, text.data(), static_cast<int>(text.size()), nullptr,
                                    nullptr, optionsFor(mode));
    const bool wellFormed = context->wellFormed != 0;
    xmlFreeParserCtxt(context);
    if (mode == ParseMode::Strict && !wellFormed) {
        xmlFreeDoc(doc);
        return nullptr;
    }
    return keepIfRooted(doc);
}

bool saveXmlFile(xmlDoc* doc, const std::string& path)
{
    const std::string temporary = path + ".saving";
    if (xmlSaveFileEnc(temporary.c_str(), doc, "UTF-8") < 0) {
        (void)std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        (void)std::remove(temporary.c_str());
        return false;
    }
    return true;
}

std::string attributeOf(xmlNode* node, const char* name, const char* nsUri)
{
    xmlChar* value = xmlGetNsProp(node, reinterpret_cast<const xmlChar*>(name),
                                  reinterpret_cast<const xmlChar*>(nsUri));
    if (!value)
        return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

bool isElement(const xmlNode* node, const char* nsUri, const char* name)
{
    return node && node->type == XML_ELEMENT_NODE && node->ns && node->ns->href &&
           xmlStrEqual(node->ns->href, reinterpret_cast<const xmlChar*>(nsUri)) &&
           xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name));
}

xmlNode* childElement(xmlNode* parent, const char* nsUri, const char* name)
{
    for (xmlNode* child = parent ? parent->children : nullptr; child; child = child->next) {
        if (isElement(child, nsUri, name))
            return child;
    }
    return nullptr;
}

} // namespace content
