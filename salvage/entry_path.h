// Entry names are hostile paths. confineEntryPath turns one into a path that can only name
// something below the workspace tree; DirectoryHandle walks and creates that path one component
// at a time without ever following a symbolic link.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace salvage {

struct EntryPath
{
    std::vector<std::string> directories; // the components above the file, outermost first
    std::string fileName;                 // empty for a directory entry

    [[nodiscard]] bool IsDirectory() const { return fileName.empty(); }
    // The components joined with '/'; a directory entry's path ends with '/'.
    [[nodiscard]] std::string Relative() const;
};

// Splits name at '/' and '\' and drops every component that could leave the workspace or means
// nothing there: empty ones (an absolute name), ".", ".." and a leading drive prefix such as
// "C:". A component longer than NAME_MAX is cut to NAME_MAX bytes. A name that ends with a
// separator, ".", or "..", names a directory. Returns nullopt when no component is left or the
// workspace path plus the result would reach PATH_MAX.
[[nodiscard]] std::optional<EntryPath> confineEntryPath(std::string_view name,
                                                        std::size_t workspaceLength);

// An open directory descriptor, closed by the destructor. Move-only.
class DirectoryHandle
{
public:
    DirectoryHandle() = default;
    explicit DirectoryHandle(int fd) : m_fd(fd) {}
    ~DirectoryHandle();
    DirectoryHandle(DirectoryHandle&& other) noexcept;
    DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;

    [[nodiscard]] bool IsOpen() const { return m_fd >= 0; }
    [[nodiscard]] int Descriptor() const { return m_fd; }

    // Opens the workspace tree, creating it and the folders above it when missing. The tree's
    // own last component must not be a symbolic link.
    [[nodiscard]] static DirectoryHandle OpenWorkspace(const std::string& workspacePath);
    // Opens the child directory name, creating it when missing; a closed handle when name is a
    // symbolic link or anything but a directory.
    [[nodiscard]] DirectoryHandle OpenChild(const std::string& name) const;

private:
    int m_fd = -1;
};

} // namespace salvage
