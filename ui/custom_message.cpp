#include "ui/custom_message.h"

#include "ui/dialog_units.h"
#include "ui/link_label.h"
#include "ui/shell_services.h"
#include "ui/ui_texts.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

namespace {

constexpr int LinkTextLength = 80; // characters of the folder shown before "..."
// Where the link sits, in pixels: left, top, and the height it is centred in.
constexpr int LinkLeft = 7;
constexpr int LinkTop = 25;
constexpr int LinkHeight = 75;
constexpr int LinkStartWidth = 495;

} // namespace

CCustomMessage::CCustomMessage(ShellServices& shell, QWidget* parent)
    : QDialog(parent), m_shell(shell)
{
    setWindowTitle(QString(uitext::CompletedCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    const DialogUnits du(font());
    setFixedSize(du.size(299, 90));

    m_ok = new QPushButton(QString(uitext::Ok), this);
    m_ok->setGeometry(du.rect(123, 69, 50, 14));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    m_placeholder = new QLabel(QString(uitext::Placeholder), this);
    m_placeholder->setObjectName(QStringLiteral("label1002"));
    m_placeholder->setGeometry(du.rect(7, 20, 229, 31));

    auto* completed = new QLabel(QString(uitext::Completed), this);
    completed->setGeometry(du.rect(7, 7, 285, 13));
}

QString CCustomMessage::LinkText(const QString& folder)
{
    // Counted in characters, not UTF-16 units, so a character outside the basic plane is
    // never cut in half.
    qsizetype end = 0;
    for (int counted = 0; counted < LinkTextLength && end < folder.size(); ++counted) {
        const bool pair = folder.at(end).isHighSurrogate() && end + 1 < folder.size() &&
                          folder.at(end + 1).isLowSurrogate();
        end += pair ? 2 : 1;
    }
    return folder.left(end) + QString(uitext::Ellipsis);
}

void CCustomMessage::showEvent(QShowEvent* event)
{
    if (m_linkFolder == nullptr)
        createLink();
    QDialog::showEvent(event);
}

void CCustomMessage::createLink()
{
    m_linkFolder = new LinkLabel(m_strFolder, this);
    m_linkFolder->setObjectName(QStringLiteral("linkFolder"));
    m_linkFolder->setGeometry(LinkLeft, LinkTop, LinkStartWidth, LinkHeight);
    m_linkFolder->show();
    m_placeholder->hide();
    m_linkFolder->setTarget(m_strFolder);
    m_linkFolder->setText(LinkText(m_strFolder));
    m_linkFolder->setToolTip(m_strFolder);
    m_linkFolder->sizeToContent(width() - 2 * LinkLeft);
    m_linkFolder->installEventFilter(this);
}

void CCustomMessage::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (m_linkFolder != nullptr)
        m_linkFolder->setGeometry(LinkLeft, LinkTop, width() - 2 * LinkLeft, LinkHeight);
}

bool CCustomMessage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_linkFolder && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const bool overLink = m_linkFolder->rect().contains(mouse->position().toPoint());
        if (overLink && (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton))
            m_shell.openUrl(QUrl::fromLocalFile(m_linkFolder->target()));
    }
    return QDialog::eventFilter(watched, event);
}
