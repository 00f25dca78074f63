#include "ui/about_dlg.h"

#include "ui/dialog_units.h"
#include "ui/my_static.h"
#include "ui/pictures.h"
#include "ui/product_page.h"
#include "ui/shell_services.h"
#include "ui/ui_texts.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {

const QColor TextBlue{0, 0, 255};
constexpr int IconSize = 32;

} // namespace

CAboutDlg::CAboutDlg(ShellServices& shell, QWidget* parent) : QDialog(parent), m_shell(shell)
{
    setWindowTitle(QString(uitext::AboutCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    // Labels and buttons draw blue on white; edit boxes and lists would keep their own colours.
    QPalette colours = palette();
    for (const auto role : {QPalette::Window, QPalette::Button})
        colours.setBrush(role, m_brushWhite);
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText})
        colours.setColor(role, TextBlue);
    setPalette(colours);
    setAutoFillBackground(true);

    const DialogUnits du(font());
    setFixedSize(du.size(243, 196));

    // The header picture keeps its own size; the dialog's edge clips what does not fit.
    auto* header = new QLabel(this);
    header->setPixmap(pictures::aboutHeader());
    header->setGeometry(QRect(QPoint(0, 0), pictures::AboutHeaderSize));

    auto* icon = new QLabel(this);
    icon->setPixmap(pictures::appIconPixmap(IconSize));
    icon->setGeometry(du.x(114), du.y(50), IconSize, IconSize);

    m_label = new CMyStatic(this);
    m_label->setObjectName(QStringLiteral("label1003"));
    m_label->setText(QString(uitext::AboutFirstLine) + QStringLiteral("\n\n") +
                     QString(uitext::AboutMoreLines));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label->setWordWrap(true);
    m_label->setGeometry(du.rect(42, 88, 169, 85));
    m_label->installEventFilter(this);

    m_ok = new QPushButton(QString(uitext::Ok), this);
    m_ok->setGeometry(du.rect(97, 175, 50, 14));
    m_ok->setDefault(true);
    m_ok->setFocus();
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

bool CAboutDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_label && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const bool overLabel = m_label->rect().contains(mouse->position().toPoint());
        if (overLabel && (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton))
            m_shell.openUrl(productPageUrl());
    }
    return QDialog::eventFilter(watched, event); // the release is then handled as usual
}
