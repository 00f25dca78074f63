#include "package/package_assembly.h"

#include "platform/file_system.h"
#include "zip/archive_writer.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr std::string_view MimetypeName = "mimetype";

unsigned char foldCase(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

// Ordinal comparison with ASCII letters folded to capitals, the order an NTFS listing has;
// names that differ only in case (possible here, not there) fall back to their bytes.
bool comesBefore(const platform::DirectoryEntry& a, const platform::DirectoryEntry& b)
{
    const std::size_t common = std::min(a.name.size(), b.name.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = foldCase(a.name[i]);
        const unsigned char y = foldCase(b.name[i]);
        if (x != y)
            return x < y;
    }
    if (a.name.size() != b.name.size())
        return a.name.size() < b.name.size();
    return a.name < b.name;
}

std::optional<std::vector<platform::DirectoryEntry>> sortedListing(const std::string& dir)
{
    auto entries = platform::ListDirectory(dir);
    if (entries)
        std::sort(entries->begin(), entries->end(), comesBefore);
    return entries;
}

} // namespace

bool AssembleDocumentPackage(const std::string& workspaceRoot, const std::string& containerPath)
{
    zip::ArchiveHandlePtr handle = zip::CreateArchive(containerPath);
    if (!handle)
        return true;
    // An OpenDocument package starts with its media type, stored, so that the type can be
    // read at a fixed place without inflating anything.
    const std::string root = platform::WithTrailingSeparator(workspaceRoot);
    if (platform::IsRegularFile(root + std::string(MimetypeName)) &&
        zip::AddFileToArchive(handle.get(), std::string(MimetypeName),
                              root + std::string(MimetypeName),
                              zip::EntryMethod::Stored) != zip::ArchiveOk) {
        (void)zip::FinishArchive(std::move(handle));
        return true;
    }
    // A walk that ends early still gives a valid container of what was added before; a failed
    // write makes the writer remove the container when it is finished.
    (void)AddDirectoryTree(handle.get(), workspaceRoot, workspaceRoot);
    (void)zip::FinishArchive(std::move(handle));
    return true;
}

bool AddDirectoryTree(zip::ArchiveHandle* handle, const std::string& currentDir,
                      const std::string& root)
{
    const std::string dir = platform::WithTrailingSeparator(currentDir);
    // Entry names are paths below root; a root given without its separator must not leave one
    // at the start of every name.
    const std::string base = platform::WithTrailingSeparator(root);
    if (dir.size() < base.size() || dir.compare(0, base.size(), base) != 0)
        return false;
    const auto entries = sortedListing(dir);
    if (!entries)
        return false;
    for (const auto& entry : *entries) {
        if (entry.isSymlink)
            continue; // never followed: a link could lead anywhere outside the workspace
        const std::string path = dir + entry.name;
        if (dir == base && entry.name == MimetypeName)
            continue; // added first, by AssembleDocumentPackage
        if (entry.isDirectory) {
            if (!AddDirectoryTree(handle, path, root))
                return false;
        } else if (zip::AddFileToArchive(handle, path.substr(base.size()), path) !=
                   zip::ArchiveOk) {
            return false;
        }
    }
    return true;
}

bool HasFilesToPack(const std::string& workspaceRoot)
{
    return platform::ContainsRegularFile(workspaceRoot); // links are never packed nor followed
}
