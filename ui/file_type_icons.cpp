#include "ui/file_type_icons.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace {

constexpr int SmallIconSize = 16;

} // namespace

int CUseShGetFileInfo::GetFileIconIndex(const QString& path, bool small)
{
    // By name alone: a drawing on a slow share is not read to learn its type.
    const QString type =
        QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    const QString key = type + (small ? QStringLiteral("/small") : QStringLiteral("/large"));
    if (const auto found = m_indexOfType.constFind(key); found != m_indexOfType.constEnd())
        return found.value();

    // The provider looks at the name's type too, but falls back on the style's file icon when
    // the desktop's icon theme has none.
    QIcon icon = m_provider.icon(QFileInfo(path));
    if (icon.isNull()) // the provider knows no type for a file that is not there
        icon = m_provider.icon(QAbstractFileIconProvider::File);
    if (small && !icon.isNull())
        icon = QIcon(icon.pixmap(SmallIconSize, SmallIconSize));
    const auto index = static_cast<int>(m_imageList.size());
    m_imageList.append(icon);
    m_indexOfType.insert(key, index);
    return index;
}
