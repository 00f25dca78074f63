// CUseShGetFileInfo: the icon of a file's type for the file list. Only the name decides it (the
// file is not opened and need not exist). Each type's icon is made once and kept in an image
// list, and list items refer to it by index.
#pragma once

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

class CUseShGetFileInfo
{
public:
    virtual ~CUseShGetFileInfo() = default;

    // The index in the image list of the icon for path's type, added on first use; small asks
    // for the list's 16-pixel size.
    int GetFileIconIndex(const QString& path, bool small);
    // The icon at index; a null icon for an index the image list does not have.
    [[nodiscard]] QIcon icon(int index) const { return m_imageList.value(index); }

private:
    QFileIconProvider m_provider;
    QHash<QString, int> m_indexOfType;
    QList<QIcon> m_imageList;
};
