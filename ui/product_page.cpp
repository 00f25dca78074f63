#include "ui/product_page.h"

#include "ui/ui_texts.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

static void initPageResources()
{
    Q_INIT_RESOURCE(tarvel);
}

namespace {

QByteArray embeddedPage()
{
    initPageResources();
    QFile page(QStringLiteral(":/tarvel/home.html"));
    if (!page.open(QIODevice::ReadOnly))
        return {};
    return page.readAll();
}

} // namespace

QUrl productPageUrl()
{
    const QByteArray page = embeddedPage();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (page.isEmpty() || folder.isEmpty() || !QDir().mkpath(folder))
        return {};
    const QString path = QDir(folder).filePath(QString(uitext::ProductPageFileName));

    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == page)
        return QUrl::fromLocalFile(path);
    current.close();

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.commit())
        return {};
    return QUrl::fromLocalFile(path);
}
