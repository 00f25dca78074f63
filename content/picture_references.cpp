#include "content/picture_references.h"

#include "content/xml_document.h"
#include "platform/file_system.h"

#include <vector>

namespace content {

namespace {

constexpr const char* XlinkNamespace = "http://www.w3.org/1999/xlink";

// The package path an href names, or empty when it points outside the package.
std::string packagePath(std::string href)
{
    if (href.empty() || href[0] == '#' || href[0] == '/')
        return {};
    const auto colon = href.find(':');
    const auto slash = href.find('/');
    if (colon != std::string::npos && (slash == std::string::npos || colon < slash))
        return {}; // "http:", "file:", "vnd.sun.star.GraphicObject:" and the like
    while (href.rfind("./", 0) == 0)
        href.erase(0, 2);
    if (href.find("..") != std::string::npos)
        return {}; // never leads anywhere inside the package
    return href;
}

void collectDangling(xmlNode* node, const std::string& tree, std::vector<xmlNode*>& dangling)
{
    for (xmlNode* child = node->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        const std::string path = packagePath(attributeOf(child, "href", XlinkNamespace));
        if (!path.empty() && !platform::PathExists(tree + path)) {
            dangling.push_back(child);
            continue; // its children go with it
        }
        collectDangling(child, tree, dangling);
    }
}

} // namespace

std::size_t DropMissingReferences(const std::string& partPath, const std::string& tree)
{
    XmlDocPtr doc = parseXmlFile(partPath, ParseMode::Strict);
    if (!doc)
        return 0;
    std::vector<xmlNode*> dangling;
    collectDangling(xmlDocGetRootElement(doc.get()), tree, dangling);
    if (dangling.empty())
        return 0;
    for (xmlNode* node : dangling) {
        xmlUnlinkNode(node);
        xmlFreeNode(node);
    }
    return saveXmlFile(doc.get(), partPath) ? dangling.size() : 0;
}

} // namespace content
