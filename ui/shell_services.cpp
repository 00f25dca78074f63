#include "ui/shell_services.h"

#include "ui/ui_texts.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>

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
