// What the program asks of the desktop: plain message boxes, the file, folder and print dialogs,
// where a path lives (network share, read-only disc), and "open" of a page, a file or a folder
// with whatever program the system has for it. Every window reaches these through one
// ShellServices object, so tests can answer the questions and record what would be opened.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class QPrinter;
class QWidget;

class ShellServices
{
public:
    virtual ~ShellServices() = default;

    // A message with an OK button; returns when it is closed.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // A question with Yes and No buttons; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text) = 0;
    // Opens the page, file or folder; a failure is not reported.
    virtual void openUrl(const QUrl& url) = 0;
    // True when the system names a program that opens files of this kind.
    virtual bool hasDefaultApplication(const QString& filePath) = 0;

    // The file-open dialog with several files selectable: the chosen paths in the order the
    // dialog gives them; an empty list when it is cancelled.
    virtual QStringList chooseOpenFiles(QWidget* parent, const QString& title,
                                        const QString& filter) = 0;
    // The folder browser: the chosen folder, or an empty string when it is cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& title) = 0;
    // The print dialog: true when the user confirms printing on printer.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer) = 0;
    // The completion dialog (CCustomMessage) for the destination folder; returns when closed.
    virtual void showCompletion(QWidget* parent, const QString& folder) = 0;

    // True when path lies on a file system mounted from another machine.
    virtual bool isOnNetworkShare(const QString& path) = 0;
    // True when nothing can be written below path: read-only media such as a CD or DVD.
    virtual bool isOnReadOnlyMedia(const QString& path) = 0;
};

// The real desktop: QMessageBox, QFileDialog, QPrintDialog, QDesktopServices, xdg-mime and the
// kernel's mount table.
class SystemShellServices final : public ShellServices
{
public:
    void showMessage(QWidget* parent, const QString& text) override;
    bool askYesNo(QWidget* parent, const QString& text) override;
    void openUrl(const QUrl& url) override;
    bool hasDefaultApplication(const QString& filePath) override;
    QStringList chooseOpenFiles(QWidget* parent, const QString& title,
                                const QString& filter) override;
    QString chooseFolder(QWidget* parent, const QString& title) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    void showCompletion(QWidget* parent, const QString& folder) override;
    bool isOnNetworkShare(const QString& path) override;
    bool isOnReadOnlyMedia(const QString& path) override;
};
