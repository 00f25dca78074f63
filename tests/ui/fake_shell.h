// A desktop for tests: it records every message, question and opened address, and answers the
// questions from a prepared list.
#pragma once

#include "ui/shell_services.h"

#include <QList>
#include <QStringList>
#include <QUrl>

class FakeShell final : public ShellServices
{
public:
    void showMessage(QWidget*, const QString& text) override { messages.append(text); }
    bool askYesNo(QWidget*, const QString& text) override
    {
        questions.append(text);
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    void openUrl(const QUrl& url) override { opened.append(url); }
    bool hasDefaultApplication(const QString&) override { return viewerInstalled; }

    QStringList messages;
    QStringList questions;
    QList<QUrl> opened;
    QList<bool> answers; // the answers to the next questions; No when it runs out
    bool viewerInstalled = false;
};
