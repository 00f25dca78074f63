// CCustomMessage: the dialog at the end of a repair run that was not stopped. It links to the
// destination folder; a left or right click on the link opens the folder.
#pragma once

#include <QDialog>
#include <QString>

class LinkLabel;
class QLabel;
class QPushButton;
class ShellServices;

class CCustomMessage : public QDialog
{
    Q_OBJECT

public:
    explicit CCustomMessage(ShellServices& shell, QWidget* parent = nullptr);

    // The link text for a folder: its first 80 characters (all of it when shorter) and "...".
    [[nodiscard]] static QString LinkText(const QString& folder);

    QString m_strFolder; // set before the dialog is shown
    LinkLabel* m_linkFolder = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createLink();

    ShellServices& m_shell;
    QLabel* m_placeholder = nullptr;
    QPushButton* m_ok = nullptr;
};
