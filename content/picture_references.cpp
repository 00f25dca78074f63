#include "content/picture_references.h"

#include "content/odf_drawing.h"
#include "content/xml_document.h"
#include "platform/file_system.h"

#include <vector>

namespace content {

namespace {

void collectDangling(xmlNode* node, const std::string& tree, std::vector<xmlNode*>& dangling)
{
    for (xmlNode* child = node->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        const std::string path = PackagePathOf(attributeOf(child, "href", odf::XlinkNs));
        if (!path.empty() && !platform::PathExists(tree + path)) {
            dangling.push_back(child);
            continue; // its children go with it
        }
        collectDangling(child, tree, dangling);
    }
}

} // namespace

std::string PackagePathOf(std::string href)
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
