// What the program asks of the desktop: plain message boxes, and "open" of a page, a file or a
// folder with whatever program the system has for it. Every window reaches these through one
// ShellServices object, so tests can answer the questions and record what would be opened.
#pragma once

#include <QString>
#include <QUrl>

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
};

// The real desktop: QMessageBox, QDesktopServices and xdg-mime.
class SystemShellServices final : public ShellServices
{
public:
    void showMessage(QWidget* parent, const QString& text) override;
    bool askYesNo(QWidget* parent, const QString& text) override;
    void openUrl(const QUrl& url) override;
    bool hasDefaultApplication(const QString& filePath) override;
};
