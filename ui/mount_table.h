// Which mounted file system a path lives on, read from the kernel's mount table
// (/proc/self/mountinfo). The program asks it two things: is a drawing on a network share, and is
// a folder on read-only media (a CD or DVD) where nothing can be saved.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

struct MountEntry
{
    QString mountPoint;    // with the table's escapes (\040 for a blank, ...) decoded
    QString type;          // "ext4", "nfs4", "fuse.sshfs", ...
    bool readOnly = false; // mounted with "ro"
};

class MountTable
{
public:
    // The table of this process, read now; empty when it cannot be read.
    [[nodiscard]] static MountTable current();
    // A table in the format of /proc/self/mountinfo. Lines that do not parse are skipped.
    [[nodiscard]] static MountTable parse(const QByteArray& text);

    // The mount that holds path: the one with the longest mount point that is path itself or one
    // of its parents. Symbolic links in path are resolved when path exists. None when the table
    // is empty or path is relative.
    [[nodiscard]] std::optional<MountEntry> mountOf(const QString& path) const;

    [[nodiscard]] const std::vector<MountEntry>& entries() const { return m_entries; }

private:
    std::vector<MountEntry> m_entries;
};

// File systems that reach another machine over the network.
[[nodiscard]] bool IsNetworkFileSystem(const QString& type);
// File systems of optical discs, which are read-only whatever the mount says.
[[nodiscard]] bool IsOpticalDiscFileSystem(const QString& type);
