#include "content/package_repair.h"

#include "content/manifest_repair.h"
#include "content/picture_references.h"
#include "content/xml_repair.h"
#include "platform/file_system.h"

namespace content {

namespace {

// The XML parts a drawing keeps at its top level, and its manifest.
constexpr const char* XmlParts[] = {"content.xml", "styles.xml", "meta.xml", "settings.xml",
                                    "META-INF/manifest.xml"};
// The parts whose elements may name pictures and embedded objects.
constexpr const char* ReferencingParts[] = {"content.xml", "styles.xml"};

} // namespace

PackageRepairReport RepairPackageTree(const std::string& tree)
{
    PackageRepairReport report;
    if (!platform::ContainsRegularFile(tree))
        return report; // nothing was salvaged: there is no package to mend
    for (const char* part : XmlParts) {
        const std::string path = tree + part;
        if (!platform::IsRegularFile(path))
            continue;
        switch (RepairXmlPart(path)) {
        case XmlRepairResult::WellFormed:
            break;
        case XmlRepairResult::Repaired:
            report.repairedParts.emplace_back(part);
            break;
        case XmlRepairResult::Unrecoverable:
            // A part LibreOffice cannot parse stops the whole drawing from loading; without
            // it the drawing loads with what the other parts hold.
            (void)platform::DeleteFile(path);
            report.droppedParts.emplace_back(part);
            break;
        }
    }
    for (const char* part : ReferencingParts) {
        const std::string path = tree + part;
        if (platform::IsRegularFile(path))
            report.droppedReferences += DropMissingReferences(path, tree);
    }
    const std::string mediaType = DocumentMediaType(tree);
    report.mimetypeRestored = RestoreMimetype(tree, mediaType);
    const ManifestRepair manifest = RepairManifest(tree, mediaType);
    report.manifestRebuilt = manifest.rebuilt;
    report.manifestChanged = manifest.changed;
    report.lostParts = manifest.droppedPaths;
    return report;
}

} // namespace content
