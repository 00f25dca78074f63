// CAboutDlg: the About box. White background and blue text; a click on the text (left or right
// button) opens the product page.
#pragma once

#include <QBrush>
#include <QDialog>

class CMyStatic;
class QPushButton;
class ShellServices;

class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(ShellServices& shell, QWidget* parent = nullptr);

    [[nodiscard]] CMyStatic* label() const { return m_label; }
    [[nodiscard]] QPushButton* okButton() const { return m_ok; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ShellServices& m_shell;
    QBrush m_brushWhite{Qt::white};
    CMyStatic* m_label = nullptr;
    QPushButton* m_ok = nullptr;
};
