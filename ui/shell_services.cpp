#include "ui/shell_services.h"

#include "ui/custom_message.h"
#include "ui/mount_table.h"
#include "ui/ui_texts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>

#include <sys/statvfs.h>

namespace {

// xdg-mime answers at once; the cap only guards against a hung helper.
constexpr int MimeQueryTimeoutMs = 3000;

QMessageBox::StandardButton runBox(QWidget* parent, const QString& text,
                                   QMessageBox::StandardButtons buttons,
                                   QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(QMessageBox::NoIcon, QString(uitext::AppName), text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void SystemShellServices::showMessage(QWidget* parent, const QString& text)
{
    (void)runBox(parent, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool SystemShellServices::askYesNo(QWidget* parent, const QString& text)
{
    return runBox(parent, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

void SystemShellServices::openUrl(const QUrl& url)
{
    (void)QDesktopServices::openUrl(url); // nothing is reported when no program opens it
}

bool SystemShellServices::hasDefaultApplication(const QString& filePath)
{
    const QString mimeType = QMimeDatabase().mimeTypeForFile(filePath).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForStarted(MimeQueryTimeoutMs))
        return false;
    if (!query.waitForFinished(MimeQueryTimeoutMs)) {
        query.kill();
        (void)query.waitForFinished(MimeQueryTimeoutMs); // reaps the killed helper
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

QStringList SystemShellServices::chooseOpenFiles(QWidget* parent, const QString& title,
                                                 const QString& filter)
{
    return QFileDialog::getOpenFileNames(parent, title, QString(), filter);
}

QString SystemShellServices::chooseFolder(QWidget* parent, const QString& title)
{
    QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!QDir(start).exists())
        start = QDir::homePath();
    return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

bool SystemShellServices::choosePrinter(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void SystemShellServices::showCompletion(QWidget* parent, const QString& folder)
{
    CCustomMessage dialog(*this, parent);
    dialog.m_strFolder = folder;
    (void)dialog.exec(); // only closing it matters
}

bool SystemShellServices::isOnNetworkShare(const QString& path)
{
    const std::optional<MountEntry> mount = MountTable::current().mountOf(path);
    return mount && IsNetworkFileSystem(mount->type);
}

bool SystemShellServices::isOnReadOnlyMedia(const QString& path)
{
    struct statvfs info = {};
    if (::statvfs(QFile::encodeName(path).constData(), &info) == 0 && (info.f_flag & ST_RDONLY))
        return true;
    const std::optional<MountEntry> mount = MountTable::current().mountOf(path);
    return mount && (mount->readOnly || IsOpticalDiscFileSystem(mount->type));
}
