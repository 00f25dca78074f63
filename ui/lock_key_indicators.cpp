#include "ui/lock_key_indicators.h"

#include "ui/ui_texts.h"
#include "ui/x11_lock_keys.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>

namespace {

QLabel* makePane(QStatusBar& bar, const QString& widest)
{
    auto* pane = new QLabel(&bar);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pane->setAlignment(Qt::AlignCenter);
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(widest) + 12);
    bar.addPermanentWidget(pane);
    return pane;
}

bool readSystem(LockKeyState& state)
{
#ifdef TARVEL_HAVE_X11
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        return readX11LockKeys(x11->display(), state);
#endif
    (void)state;
    return false;
}

} // namespace

LockKeyIndicators::LockKeyIndicators(QStatusBar& bar) : QObject(&bar)
{
    m_capsPane = makePane(bar, QString(uitext::IndicatorCaps));
    m_capsPane->setObjectName(QStringLiteral("indicatorCaps"));
    m_numPane = makePane(bar, QString(uitext::IndicatorNum));
    m_numPane->setObjectName(QStringLiteral("indicatorNum"));
    m_scrollPane = makePane(bar, QString(uitext::IndicatorScroll));
    m_scrollPane->setObjectName(QStringLiteral("indicatorScroll"));
    readSystemState();
    show();
    qApp->installEventFilter(this);
}

LockKeyIndicators::~LockKeyIndicators()
{
    qApp->removeEventFilter(this);
}

void LockKeyIndicators::readSystemState()
{
    LockKeyState state;
    m_systemState = readSystem(state);
    if (m_systemState) {
        m_caps = state.caps;
        m_num = state.num;
        m_scroll = state.scroll;
    }
}

bool LockKeyIndicators::eventFilter(QObject* watched, QEvent* event)
{
    // Every key event passes the application filter once per receiver; only the window's own
    // delivery is looked at.
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWindowType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (m_systemState) {
            readSystemState();
        } else if (type == QEvent::KeyPress && !key->isAutoRepeat()) {
            switch (key->key()) {
            case Qt::Key_CapsLock:
                m_caps = !m_caps;
                break;
            case Qt::Key_NumLock:
                m_num = !m_num;
                break;
            case Qt::Key_ScrollLock:
                m_scroll = !m_scroll;
                break;
            default:
                break;
            }
        }
        show();
    } else if (type == QEvent::ApplicationActivate && m_systemState) {
        readSystemState();
        show();
    }
    return QObject::eventFilter(watched, event);
}

void LockKeyIndicators::show()
{
    m_capsPane->setText(m_caps ? QString(uitext::IndicatorCaps) : QString());
    m_numPane->setText(m_num ? QString(uitext::IndicatorNum) : QString());
    m_scrollPane->setText(m_scroll ? QString(uitext::IndicatorScroll) : QString());
}
