#include "ui/mount_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <array>

namespace {

// Fields of a mountinfo line: "id parent major:minor root mount-point options [optional...] -
// type source super-options".
constexpr qsizetype MountPointField = 4;
constexpr qsizetype OptionsField = 5;
constexpr qsizetype FirstOptionalField = 6;

// The table writes a blank, tab, line feed and backslash in a path as a backslash and three
// octal digits.
QByteArray unescape(const QByteArray& field)
{
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c == '\\' && field.size() - i > 3 && isOctal(field.at(i + 1)) &&
            isOctal(field.at(i + 2)) && isOctal(field.at(i + 3))) {
            const int value = (field.at(i + 1) - '0') * 64 + (field.at(i + 2) - '0') * 8 +
                              (field.at(i + 3) - '0');
            if (value < 256) {
                out.append(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

bool hasReadOnlyOption(const QByteArray& options)
{
    return options.split(',').contains("ro");
}

bool underMountPoint(const QString& path, const QString& mountPoint)
{
    if (mountPoint == QLatin1String("/"))
        return true;
    return path == mountPoint ||
           (path.startsWith(mountPoint) && path.at(mountPoint.size()) == QLatin1Char('/'));
}

} // namespace

MountTable MountTable::current()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

MountTable MountTable::parse(const QByteArray& text)
{
    MountTable table;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() <= FirstOptionalField)
            continue;
        qsizetype dash = FirstOptionalField;
        while (dash < fields.size() && fields.at(dash) != "-")
            ++dash;
        if (fields.size() - dash < 3) // the type, the source and the super options follow
            continue;
        MountEntry entry;
        entry.mountPoint = QFile::decodeName(unescape(fields.at(MountPointField)));
        entry.type = QString::fromLatin1(fields.at(dash + 1));
        entry.readOnly =
            hasReadOnlyOption(fields.at(OptionsField)) || hasReadOnlyOption(fields.at(dash + 3));
        if (!entry.mountPoint.startsWith(QLatin1Char('/')) || entry.type.isEmpty())
            continue;
        table.m_entries.push_back(entry);
    }
    return table;
}

std::optional<MountEntry> MountTable::mountOf(const QString& path) const
{
    const QFileInfo info(path);
    QString resolved = info.exists() ? info.canonicalFilePath() : QString();
    if (resolved.isEmpty())
        resolved = QDir::cleanPath(path);
    if (!resolved.startsWith(QLatin1Char('/')))
        return std::nullopt;

    std::optional<MountEntry> best;
    for (const MountEntry& entry : m_entries) {
        // Of two mounts on the same point the later one hides the earlier, hence >=.
        if (underMountPoint(resolved, entry.mountPoint) &&
            (!best || entry.mountPoint.size() >= best->mountPoint.size()))
            best = entry;
    }
    return best;
}

bool IsNetworkFileSystem(const QString& type)
{
    static const std::array<QLatin1String, 17> Types{
        QLatin1String("nfs"),           QLatin1String("nfs4"),
        QLatin1String("cifs"),          QLatin1String("smb3"),
        QLatin1String("smbfs"),         QLatin1String("ncpfs"),
        QLatin1String("afs"),           QLatin1String("ceph"),
        QLatin1String("glusterfs"),     QLatin1String("sshfs"),
        QLatin1String("fuse.sshfs"),    QLatin1String("fuse.glusterfs"),
        QLatin1String("fuse.s3fs"),     QLatin1String("fuse.rclone"),
        QLatin1String("davfs"),         QLatin1String("fuse.davfs"),
        QLatin1String("fuse.smbnetfs"),
    };
    return std::find(Types.begin(), Types.end(), type) != Types.end();
}

bool IsOpticalDiscFileSystem(const QString& type)
{
    return type == QLatin1String("iso9660") || type == QLatin1String("udf");
}
