#include "content/manifest_repair.h"

#include "content/xml_document.h"
#include "platform/file64.h"
#include "platform/file_system.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <libxml/xmlreader.h>
#include <set>
#include <utility>
#include <vector>

namespace content {

namespace {

constexpr const char* ManifestNamespace = "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0";
constexpr const char* OfficeNamespace = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view ManifestPath = "META-INF/manifest.xml";
constexpr std::string_view MimetypeName = "mimetype";
constexpr std::string_view OdfMediaTypePrefix = "application/vnd.oasis.opendocument.";
constexpr std::size_t MaxMediaTypeLength = 128;
constexpr const char* DefaultVersion = "1.2";
// Deeper package trees are not made by salvage; the cap bounds the walk.
constexpr int MaxTreeDepth = 64;

struct MediaTypeByExtension
{
    std::string_view extension;
    std::string_view mediaType;
};

constexpr std::array MediaTypes = {
    MediaTypeByExtension{"xml", "text/xml"},
    MediaTypeByExtension{"rdf", "application/rdf+xml"},
    MediaTypeByExtension{"png", "image/png"},
    MediaTypeByExtension{"jpg", "image/jpeg"},
    MediaTypeByExtension{"jpeg", "image/jpeg"},
    MediaTypeByExtension{"gif", "image/gif"},
    MediaTypeByExtension{"svg", "image/svg+xml"},
    MediaTypeByExtension{"bmp", "image/bmp"},
    MediaTypeByExtension{"tif", "image/tiff"},
    MediaTypeByExtension{"tiff", "image/tiff"},
    MediaTypeByExtension{"wmf", "image/x-wmf"},
    MediaTypeByExtension{"emf", "image/x-emf"},
    MediaTypeByExtension{"webp", "image/webp"},
    MediaTypeByExtension{"pdf", "application/pdf"},
};

bool isOdfMediaType(std::string_view text)
{
    if (text.size() <= OdfMediaTypePrefix.size() || text.size() > MaxMediaTypeLength ||
        text.substr(0, OdfMediaTypePrefix.size()) != OdfMediaTypePrefix)
        return false;
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(OdfMediaTypePrefix.size()),
                       text.end(), [](char c) {
                           return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                                  c == '.';
                       });
}

std::string readSmallFile(const std::string& path, std::size_t limit)
{
    platform::CFile64 file;
    if (!file.OpenRead(path))
        return {};
    std::string text(limit, '\0');
    const auto got =
        file.Read(std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size()));
    text.resize(got.value_or(0));
    return text;
}

std::string lowerExtension(const std::string& path)
{
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension;
}

std::string mediaTypeOf(const std::string& path)
{
    const std::string extension = lowerExtension(path);
    for (const auto& entry : MediaTypes) {
        if (entry.extension == extension)
            return std::string(entry.mediaType);
    }
    return {};
}

void collectParts(const std::string& tree, const std::string& relative, int depth,
                  std::vector<std::string>& parts)
{
    const auto entries = platform::ListDirectory(tree + relative);
    if (!entries || depth > MaxTreeDepth)
        return;
    for (const auto& entry : *entries) {
        const std::string path = relative + entry.name;
        if (entry.isSymlink)
            continue;
        if (entry.isDirectory) {
            if (path != "META-INF")
                collectParts(tree, path + "/", depth + 1, parts);
        } else if (path != MimetypeName) {
            parts.push_back(path);
        }
    }
}

// The office:version of the first of the main parts that has one.
std::string officeVersion(const std::string& tree)
{
    for (const char* part : {"content.xml", "styles.xml", "meta.xml", "settings.xml"}) {
        xmlTextReaderPtr reader =
            xmlReaderForFile((tree + part).c_str(), nullptr,
                             XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        if (!reader)
            continue;
        std::string version;
        while (xmlTextReaderRead(reader) == 1) {
            if (xmlTextReaderNodeType(reader) != XML_READER_TYPE_ELEMENT)
                continue;
            xmlChar* value =
                xmlTextReaderGetAttributeNs(reader, reinterpret_cast<const xmlChar*>("version"),
                                            reinterpret_cast<const xmlChar*>(OfficeNamespace));
            if (value) {
                version = reinterpret_cast<const char*>(value);
                xmlFree(value);
            }
            break;
        }
        xmlFreeTextReader(reader);
        if (!version.empty() && version.size() < 16)
            return version;
    }
    return DefaultVersion;
}

const xmlChar* x(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

// A new file-entry element, not yet placed in the tree.
xmlNode* makeFileEntry(xmlNs* ns, const std::string& path, const std::string& mediaType,
                       const char* version)
{
    xmlNode* entry = xmlNewNode(ns, x("file-entry"));
    xmlNewNsProp(entry, ns, x("full-path"), x(path.c_str()));
    if (version)
        xmlNewNsProp(entry, ns, x("version"), x(version));
    xmlNewNsProp(entry, ns, x("media-type"), x(mediaType.c_str()));
    return entry;
}

bool isManifestElement(xmlNode* node, const char* name)
{
    return node && node->type == XML_ELEMENT_NODE && node->ns && node->ns->href &&
           xmlStrEqual(node->ns->href, x(ManifestNamespace)) && xmlStrEqual(node->name, x(name));
}

ManifestRepair writeNewManifest(const std::string& tree, const std::string& mediaType,
                                const std::vector<std::string>& parts)
{
    const std::string version = officeVersion(tree);
    XmlDocPtr doc(xmlNewDoc(x("1.0")));
    xmlNode* manifest = xmlNewNode(nullptr, x("manifest"));
    xmlNs* ns = xmlNewNs(manifest, x(ManifestNamespace), x("manifest"));
    xmlSetNs(manifest, ns);
    xmlNewNsProp(manifest, ns, x("version"), x(version.c_str()));
    xmlDocSetRootElement(doc.get(), manifest);
    xmlAddChild(manifest, makeFileEntry(ns, "/", mediaType, version.c_str()));
    for (const auto& part : parts)
        xmlAddChild(manifest, makeFileEntry(ns, part, mediaTypeOf(part), nullptr));

    ManifestRepair result;
    result.rebuilt = true;
    result.added = parts.size();
    (void)platform::CreateDirectory(tree + "META-INF");
    result.changed = saveXmlFile(doc.get(), tree + std::string(ManifestPath));
    return result;
}

} // namespace

std::string DocumentMediaType(const std::string& tree)
{
    std::string stored = readSmallFile(tree + std::string(MimetypeName), MaxMediaTypeLength + 1);
    if (isOdfMediaType(stored))
        return stored;
    if (XmlDocPtr doc = parseXmlFile(tree + std::string(ManifestPath), ParseMode::Recover)) {
        xmlNode* root = xmlDocGetRootElement(doc.get());
        for (xmlNode* entry = root->children; entry; entry = entry->next) {
            if (isManifestElement(entry, "file-entry") &&
                attributeOf(entry, "full-path", ManifestNamespace) == "/") {
                std::string type = attributeOf(entry, "media-type", ManifestNamespace);
                if (isOdfMediaType(type))
                    return type;
            }
        }
    }
    return std::string(DrawingMediaType);
}

bool RestoreMimetype(const std::string& tree, const std::string& mediaType)
{
    const std::string path = tree + std::string(MimetypeName);
    if (isOdfMediaType(readSmallFile(path, MaxMediaTypeLength + 1)))
        return false;
    (void)platform::SetNormalAttributes(path);
    (void)platform::DeleteFile(path);
    platform::CFile64 file;
    if (!file.Create(path, platform::CreateMode::NewOnly))
        return false;
    const bool written =
        file.Write(
            std::span(reinterpret_cast<const std::uint8_t*>(mediaType.data()), mediaType.size())) &&
        file.CloseChecked();
    if (!written)
        (void)platform::DeleteFile(path);
    return written;
}

ManifestRepair RepairManifest(const std::string& tree, const std::string& mediaType)
{
    std::vector<std::string> parts;
    collectParts(tree, "", 0, parts);
    std::sort(parts.begin(), parts.end());

    XmlDocPtr doc = parseXmlFile(tree + std::string(ManifestPath), ParseMode::Strict);
    xmlNode* manifest = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!isManifestElement(manifest, "manifest"))
        return writeNewManifest(tree, mediaType, parts);

    ManifestRepair result;
    std::set<std::string> listed;
    bool hasRoot = false;
    std::vector<xmlNode*> gone;
    for (xmlNode* entry = manifest->children; entry; entry = entry->next) {
        if (!isManifestElement(entry, "file-entry"))
            continue;
        const std::string path = attributeOf(entry, "full-path", ManifestNamespace);
        if (path == "/") {
            hasRoot = true;
            continue;
        }
        std::string onDisk = path;
        while (!onDisk.empty() && onDisk.back() == '/')
            onDisk.pop_back();
        if (onDisk.empty() || path.find("..") != std::string::npos ||
            !platform::PathExists(tree + onDisk))
            gone.push_back(entry);
        else
            listed.insert(path);
    }
    for (xmlNode* entry : gone) {
        result.droppedPaths.push_back(attributeOf(entry, "full-path", ManifestNamespace));
        xmlUnlinkNode(entry);
        xmlFreeNode(entry);
    }
    result.dropped = gone.size();
    xmlNs* ns = manifest->ns;
    if (!hasRoot) {
        xmlNode* root = makeFileEntry(ns, "/", mediaType, nullptr);
        if (manifest->children)
            xmlAddPrevSibling(manifest->children, root);
        else
            xmlAddChild(manifest, root);
        ++result.added;
    }
    for (const auto& part : parts) {
        if (!listed.count(part)) {
            xmlAddChild(manifest, makeFileEntry(ns, part, mediaTypeOf(part), nullptr));
            ++result.added;
        }
    }
    if (result.dropped == 0 && result.added == 0)
        return result;
    result.changed = saveXmlFile(doc.get(), tree + std::string(ManifestPath));
    return result;
}

} // namespace content
