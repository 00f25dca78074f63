#include "engine/workspace.h"

#include "platform/file_system.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Deeper trees than this are not made by salvage (names are capped at 260 bytes); the cap
// bounds the recursion and the descriptors it holds open.
constexpr int MaxTreeDepth = 256;

bool deleteTreeAt(int parentFd, const std::string& name, int depth)
{
    const int fd =
        ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info = {};
    if (::fstat(fd, &info) == 0 && (info.st_mode & S_IRWXU) != S_IRWXU)
        (void)::fchmod(fd, info.st_mode | S_IRWXU); // a locked-down folder still empties

    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    // Names are gathered first, so that removing entries cannot disturb the listing.
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view entryName = entry->d_name;
        if (entryName != "." && entryName != "..")
            names.emplace_back(entryName);
    }
    for (const auto& child : names) {
        struct stat childInfo = {};
        if (::fstatat(fd, child.c_str(), &childInfo, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(childInfo.st_mode) && depth < MaxTreeDepth)
            (void)deleteTreeAt(fd, child, depth + 1);
        else
            (void)::unlinkat(fd, child.c_str(), 0);
    }
    ::closedir(dir);
    return ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0;
}

// The private folder, made once per process and removed with everything in it at exit.
class PrivateWorkspace
{
public:
    PrivateWorkspace()
    {
        std::string pattern = GetTempFolder() + "tarvel-draw-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) // mkdtemp makes it with mode 0700
            m_folder = platform::WithTrailingSeparator(pattern);
    }
    ~PrivateWorkspace()
    {
        if (!m_folder.empty())
            (void)CDirectoryManager().DeleteDirectoryTree(m_folder);
    }
    PrivateWorkspace(const PrivateWorkspace&) = delete;
    PrivateWorkspace& operator=(const PrivateWorkspace&) = delete;

    const std::string& folder() const { return m_folder; }

private:
    std::string m_folder;
};

} // namespace

std::string GetTempFolder()
{
    return platform::WithTrailingSeparator(platform::TempFolder());
}

std::string WorkspaceFolder()
{
    static const PrivateWorkspace workspace;
    return workspace.folder();
}

std::string WorkspaceTreePath()
{
    const std::string folder = WorkspaceFolder();
    return folder.empty() ? std::string() : folder + std::string(WorkspaceTreeName) + "/";
}

void ResetWorkspace()
{
    const std::string folder = WorkspaceFolder();
    if (folder.empty())
        return;
    (void)CDirectoryManager().DeleteDirectoryTree(WorkspaceTreePath());
    (void)platform::DeleteFile(folder + std::string(PackedContainerName));
    (void)platform::DeleteFile(folder + std::string(TempArchiveName));
}

bool CDirectoryManager::CreateAllDirectories(const std::string& path)
{
    if (path.empty() || path.find(platform::PathSeparator) == std::string::npos)
        return false;
    // Each prefix that ends before a separator names one directory along the path, the root
    // of an absolute path excepted; the whole path names the last one.
    for (std::size_t q = path.find(platform::PathSeparator); q != std::string::npos;
         q = path.find(platform::PathSeparator, q + 1)) {
        if (q > 0)
            (void)platform::CreateDirectory(path.substr(0, q)); // an existing one is fine
    }
    (void)platform::CreateDirectory(path);
    return true;
}

bool CDirectoryManager::DeleteDirectoryTree(const std::string& dir)
{
    std::string path = dir;
    while (path.size() > 1 && path.back() == platform::PathSeparator)
        path.pop_back(); // a trailing separator would make the final open follow a link
    if (path.empty() || path == "/")
        return false;
    const std::string parent = platform::FolderOf(path);
    const std::string name = platform::FileNameOf(path);
    if (name == "." || name == "..")
        return false;
    const int parentFd =
        ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return false;
    const bool removed = deleteTreeAt(parentFd, name, 0);
    ::close(parentFd);
    return removed;
}
