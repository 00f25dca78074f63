// A desktop for tests: it records every message, question, dialog and opened address, and
// answers the questions and dialogs from prepared lists.
#pragma once

#include "ui/shell_services.h"

#include <QList>
#include <QPrinter>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <functional>

class FakeShell final : public ShellServices
{
public:
    void showMessage(QWidget*, const QString& text) override
    {
        messages.append(text);
        if (onMessage)
            onMessage(text);
    }
    bool askYesNo(QWidget*, const QString& text) override
    {
        questions.append(text);
        if (onQuestion)
            onQuestion(text);
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    void openUrl(const QUrl& url) override { opened.append(url); }
    bool hasDefaultApplication(const QString&) override { return viewerInstalled; }

    QStringList chooseOpenFiles(QWidget*, const QString& title, const QString& filter) override
    {
        fileDialogs.append(title + QLatin1Char('|') + filter);
        return fileChoices.isEmpty() ? QStringList() : fileChoices.takeFirst();
    }
    QString chooseFolder(QWidget*, const QString& title) override
    {
        folderDialogs.append(title);
        return folderChoices.isEmpty() ? QString() : folderChoices.takeFirst();
    }
    bool choosePrinter(QWidget*, QPrinter& printer) override
    {
        if (printFile.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printFile);
        return true;
    }
    void showCompletion(QWidget*, const QString& folder) override
    {
        completions.append(folder);
        if (onCompletion)
            onCompletion(folder);
    }
    bool isOnNetworkShare(const QString& path) override
    {
        return std::any_of(networkFolders.begin(), networkFolders.end(),
                           [&path](const QString& folder) { return path.startsWith(folder); });
    }
    bool isOnReadOnlyMedia(const QString& path) override
    {
        return std::any_of(readOnlyFolders.begin(), readOnlyFolders.end(),
                           [&path](const QString& folder) { return path.startsWith(folder); });
    }

    QStringList messages;
    QStringList questions;
    QList<QUrl> opened;
    QList<bool> answers; // the answers to the next questions; No when it runs out
    bool viewerInstalled = false;

    QStringList fileDialogs;        // "title|filter" of each file dialog shown
    QList<QStringList> fileChoices; // what the next file dialogs return; cancelled when none
    QStringList folderDialogs;      // the title of each folder browser shown
    QStringList folderChoices;      // what the next folder browsers return; cancelled when none
    QString printFile;              // where the print dialog prints (a PDF); cancelled if empty
    QStringList completions;        // the folder of each completion dialog
    QStringList networkFolders;     // paths under these are on a network share
    QStringList readOnlyFolders;    // paths under these are on read-only media

    // Called while a message, question or completion dialog would be open.
    std::function<void(const QString&)> onMessage;
    std::function<void(const QString&)> onQuestion;
    std::function<void(const QString&)> onCompletion;
};
