#include "ui/link_label.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int Flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWrapAnywhere;
constexpr int Unbounded = 1 << 20;

} // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QWidget(parent), m_text(text)
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::setText(const QString& text)
{
    m_text = text;
    updateGeometry();
    update();
}

QRect LinkLabel::textRect(int width) const
{
    return fontMetrics().boundingRect(QRect(0, 0, width, Unbounded), Flags, m_text);
}

QSize LinkLabel::sizeHint() const
{
    return textRect(Unbounded).size();
}

void LinkLabel::sizeToContent(int maxWidth)
{
    const QSize content = textRect(maxWidth).size();
    const int centre = y() + height() / 2;
    setGeometry(x(), centre - content.height() / 2, std::min(content.width(), maxWidth),
                content.height());
}

void LinkLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Link));
    painter.drawText(rect(), Flags, m_text);
}
