#include "content/package_repair.h"

#include "content/manifest_repair.h"
#include "content/odf_drawing.h"
#include "content/picture_placement.h"
#include "content/picture_references.h"
#include "content/styles_rebuild.h"
#include "content/xml_document.h"
#include "content/xml_repair.h"
#include "platform/file_system.h"

#include <algorithm>

namespace content {

namespace {

// The XML parts a drawing keeps at its top level and its manifest, each with the root element
// it must have: a part cut down to a stub of another root (a name cut short) stops LibreOffice
// from loading the drawing at all.
struct XmlPart
{
    const char* path;
    const char* root;
    const char* nsUri;
};

using odf::OfficeNs;
constexpr XmlPart XmlParts[] = {
    {"content.xml", "document-content", OfficeNs},
    {"styles.xml", "document-styles", OfficeNs},
    {"meta.xml", "document-meta", OfficeNs},
    {"settings.xml", "document-settings", OfficeNs},
    {"META-INF/manifest.xml", "manifest", "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0"},
};

bool hasRoot(const std::string& path, const XmlPart& part)
{
    const XmlDocPtr doc = parseXmlFile(path, ParseMode::Strict);
    const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    return root && root->ns && root->ns->href &&
           xmlStrEqual(root->name, reinterpret_cast<const xmlChar*>(part.root)) &&
           xmlStrEqual(root->ns->href, reinterpret_cast<const xmlChar*>(part.nsUri));
}

constexpr const char* ContentName = "content.xml";
constexpr const char* ReferencingParts[] = {ContentName, "styles.xml"};

} // namespace

PackageRepairReport RepairPackageTree(const std::string& tree, bool contentWhole)
{
    PackageRepairReport report;
    if (!platform::ContainsRegularFile(tree))
        return report; // nothing was salvaged: there is no package to mend
    for (const XmlPart& part : XmlParts) {
        const std::string path = tree + part.path;
        if (!platform::IsRegularFile(path))
            continue;
        const XmlRepairResult result = RepairXmlPart(path);
        // A part LibreOffice cannot parse stops the whole drawing from loading; without it the
        // drawing loads with what the other parts hold.
        if (result == XmlRepairResult::Unrecoverable || !hasRoot(path, part)) {
            (void)platform::DeleteFile(path);
            report.droppedParts.emplace_back(part.path);
        } else if (result == XmlRepairResult::Repaired) {
            report.repairedParts.emplace_back(part.path);
        }
    }
    for (const char* part : ReferencingParts) {
        const std::string path = tree + part;
        if (platform::IsRegularFile(path))
            report.droppedReferences += DropMissingReferences(path, tree);
    }
    const std::string mediaType = DocumentMediaType(tree);
    // Pictures whose frames were lost with the content part would stay out of sight; a content
    // part that came back whole placed every picture it meant to show.
    const bool contentMended = std::find(report.repairedParts.begin(), report.repairedParts.end(),
                                         ContentName) != report.repairedParts.end();
    if (!contentWhole || contentMended || !platform::IsRegularFile(tree + ContentName)) {
        const PicturePlacement placement = PlaceUnshownPictures(tree, mediaType);
        report.picturesPlaced = placement.placed;
        report.contentRebuilt = placement.contentRebuilt;
    }
    // Before the manifest, so that it lists the new parts; after the pictures are placed, so
    // that its page holds them.
    report.stylesRebuilt = RebuildStyles(tree);
    report.mimetypeRestored = RestoreMimetype(tree, mediaType);
    const ManifestRepair manifest = RepairManifest(tree, mediaType);
    report.manifestRebuilt = manifest.rebuilt;
    report.manifestChanged = manifest.changed;
    report.lostParts = manifest.droppedPaths;
    return report;
}

} // namespace content
