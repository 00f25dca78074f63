#include "salvage/entry_path.h"

#include "engine/workspace.h"

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace salvage {

namespace {

constexpr unsigned DirectoryMode = 0777;

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

bool isDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::string EntryPath::Relative() const
{
    std::string path;
    for (const auto& directory : directories) {
        path += directory;
        path += '/';
    }
    return path + fileName;
}

std::optional<EntryPath> confineEntryPath(std::string_view name, std::size_t workspaceLength)
{
    if (name.size() >= 2 && isDriveLetter(name[0]) && name[1] == ':')
        name.remove_prefix(2); // "C:\x", "C:x": a drive prefix means nothing below the workspace

    std::vector<std::string> components;
    bool endsAsDirectory = true; // an empty name, or one that ends with a separator
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !isSeparator(name[end]))
            ++end;
        const std::string_view component = name.substr(start, end - start);
        const bool last = end == name.size();
        if (component.empty() || component == "." || component == "..") {
            if (last)
                endsAsDirectory = true;
        } else {
            components.emplace_back(component.substr(0, NAME_MAX));
            if (last)
                endsAsDirectory = false;
        }
        start = end + 1;
    }
    if (components.empty())
        return std::nullopt;

    EntryPath path;
    if (!endsAsDirectory) {
        path.fileName = std::move(components.back());
        components.pop_back();
    }
    path.directories = std::move(components);
    const std::size_t length = path.Relative().size();
    if (workspaceLength >= PATH_MAX || PATH_MAX - workspaceLength <= length)
        return std::nullopt; // one byte stays for the terminating zero
    return path;
}

DirectoryHandle::~DirectoryHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{
}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

DirectoryHandle DirectoryHandle::OpenWorkspace(const std::string& workspacePath)
{
    if (workspacePath.empty())
        return {};
    std::string path = workspacePath;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back(); // with a trailing separator O_NOFOLLOW would not see a final link
    constexpr int Flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    DirectoryHandle tree(::open(path.c_str(), Flags));
    if (tree.IsOpen())
        return tree;
    (void)CDirectoryManager().CreateAllDirectories(workspacePath); // existing ones are fine
    return DirectoryHandle(::open(path.c_str(), Flags));
}

DirectoryHandle DirectoryHandle::OpenChild(const std::string& name) const
{
    if (m_fd < 0)
        return {};
    (void)::mkdirat(m_fd, name.c_str(), DirectoryMode); // it may exist already
    return DirectoryHandle(
        ::openat(m_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

} // namespace salvage
