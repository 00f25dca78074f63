#include "ui/dialog_units.h"

#include <QFont>
#include <QFontMetrics>

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // The average width of the 52 letters, rounded as the dialogs were designed with.
    m_baseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    m_baseY = metrics.height();
    if (m_baseX <= 0)
        m_baseX = 6;
    if (m_baseY <= 0)
        m_baseY = 13;
}
