#include "ui/pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <functional>

namespace pictures {

namespace {

// House colours: the blue of the bands, an orange accent, and the green and red of the signs.
const QColor BandTop{0x2f, 0x6f, 0xc0};
const QColor BandBottom{0x1b, 0x4a, 0x93};
const QColor Accent{0xf2, 0x8c, 0x28};
const QColor SkyBlue{0x4a, 0x90, 0xd9};
const QColor Green{0x2e, 0x9e, 0x44};
const QColor DarkGreen{0x1e, 0x6e, 0x2f};
const QColor Red{0xd3, 0x3a, 0x2c};
const QColor DarkRed{0x99, 0x22, 0x18};
const QColor Outline{0x4f, 0x5d, 0x70};

// A transparent, device-independent canvas painted in a logical square of `units` units.
QPixmap paintSquare(int size, qreal units, const std::function<void(QPainter&)>& paint)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / units, size / units);
    paint(painter);
    return pixmap;
}

QPixmap paintRect(QSize size, const std::function<void(QPainter&)>& paint)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paint(painter);
    return pixmap;
}

// The blue band behind banner, logo and strip: a vertical gradient, the same in every column, so
// the three pictures join without a seam however the strip is stretched.
void paintBand(QPainter& painter, QSize size)
{
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0.0, BandTop.lighter(115));
    gradient.setColorAt(0.55, BandTop);
    gradient.setColorAt(1.0, BandBottom);
    painter.fillRect(QRect(QPoint(0, 0), size), gradient);
    painter.fillRect(QRect(0, size.height() - 3, size.width(), 3), Accent);
}

QFont pixelFont(int pixels, bool bold)
{
    QFont font;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// A sheet of paper with a folded corner, in a 16-unit square.
void paintPage(QPainter& painter)
{
    QPainterPath page;
    page.moveTo(2.5, 1.5);
    page.lineTo(9.0, 1.5);
    page.lineTo(12.5, 5.0);
    page.lineTo(12.5, 14.5);
    page.lineTo(2.5, 14.5);
    page.closeSubpath();
    painter.setPen(QPen(Outline, 1.0));
    painter.setBrush(Qt::white);
    painter.drawPath(page);
    QPainterPath fold;
    fold.moveTo(9.0, 1.5);
    fold.lineTo(9.0, 5.0);
    fold.lineTo(12.5, 5.0);
    painter.setBrush(QColor(0xdd, 0xe3, 0xea));
    painter.drawPath(fold);
    painter.setPen(QPen(SkyBlue, 1.0));
    painter.drawLine(QPointF(4.5, 7.5), QPointF(10.5, 7.5));
    painter.drawLine(QPointF(4.5, 9.5), QPointF(8.5, 9.5));
}

// A round badge in the lower right corner of a 16-unit square.
void paintBadge(QPainter& painter, const QColor& fill, const QColor& rim)
{
    painter.setPen(QPen(rim, 0.8));
    painter.setBrush(fill);
    painter.drawEllipse(QPointF(11.5, 11.5), 4.2, 4.2);
}

void paintPlus(QPainter& painter)
{
    paintBadge(painter, Green, DarkGreen);
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(11.5, 9.2), QPointF(11.5, 13.8));
    painter.drawLine(QPointF(9.2, 11.5), QPointF(13.8, 11.5));
}

void paintCross(QPainter& painter)
{
    paintBadge(painter, Red, DarkRed);
    painter.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(9.9, 9.9), QPointF(13.1, 13.1));
    painter.drawLine(QPointF(13.1, 9.9), QPointF(9.9, 13.1));
}

// A filled disc with a white letter, for About, Help and the question-mark sign.
void paintLetterDisc(QPainter& painter, qreal units, const QString& letter)
{
    QRadialGradient gradient(units * 0.35, units * 0.3, units * 0.8);
    gradient.setColorAt(0.0, SkyBlue.lighter(130));
    gradient.setColorAt(1.0, BandBottom);
    painter.setPen(QPen(BandBottom.darker(130), units / 16.0));
    painter.setBrush(gradient);
    const qreal margin = units / 16.0;
    painter.drawEllipse(QRectF(margin, margin, units - 2 * margin, units - 2 * margin));
    QFont font;
    font.setBold(true);
    font.setPixelSize(qRound(units * 0.72));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 0, units, units), Qt::AlignCenter, letter);
}

void paintGlobe(QPainter& painter)
{
    painter.setPen(QPen(BandBottom, 1.0));
    painter.setBrush(SkyBlue.lighter(140));
    painter.drawEllipse(QPointF(8, 8), 6.5, 6.5);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(8, 8), 3.0, 6.5);
    painter.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
    painter.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
    painter.drawLine(QPointF(2.8, 4.8), QPointF(13.2, 4.8));
    painter.drawLine(QPointF(2.8, 11.2), QPointF(13.2, 11.2));
}

void paintWrench(QPainter& painter)
{
    painter.save();
    painter.translate(8, 8);
    painter.rotate(45);
    QPainterPath wrench;
    wrench.addRoundedRect(QRectF(-1.4, -1.0, 2.8, 8.2), 1.2, 1.2);
    QPainterPath head;
    head.addEllipse(QPointF(0, -3.6), 3.6, 3.6);
    QPainterPath jaw;
    jaw.addRect(QRectF(-1.3, -7.6, 2.6, 3.8));
    wrench = wrench.united(head).subtracted(jaw);
    QLinearGradient steel(-4, 0, 4, 0);
    steel.setColorAt(0.0, QColor(0xc8, 0xd0, 0xda));
    steel.setColorAt(1.0, QColor(0x6b, 0x7a, 0x8d));
    painter.setPen(QPen(Outline, 0.8));
    painter.setBrush(steel);
    painter.drawPath(wrench);
    painter.restore();
}

void paintChevron(QPainter& painter)
{
    QPainterPath chevron;
    chevron.moveTo(4.5, 4.0);
    chevron.lineTo(12.0, 4.0);
    chevron.moveTo(4.5, 8.0);
    chevron.lineTo(8.25, 12.0);
    chevron.lineTo(12.0, 8.0);
    // A pale halo keeps the mark visible on dark bars as well as light ones.
    painter.setPen(
        QPen(QColor(255, 255, 255, 170), 3.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(chevron);
    painter.setPen(QPen(Outline, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(chevron);
}

// A red disc with a white cross, in a square of `units` units.
void paintStopSign(QPainter& painter, qreal units)
{
    const qreal c = units / 2;
    QRadialGradient gradient(c * 0.7, c * 0.6, units * 0.7);
    gradient.setColorAt(0.0, Red.lighter(135));
    gradient.setColorAt(1.0, DarkRed);
    painter.setPen(QPen(DarkRed.darker(120), units / 20.0));
    painter.setBrush(gradient);
    painter.drawEllipse(QPointF(c, c), c * 0.9, c * 0.9);
    painter.setPen(QPen(Qt::white, units * 0.13, Qt::SolidLine, Qt::RoundCap));
    const qreal d = units * 0.2;
    painter.drawLine(QPointF(c - d, c - d), QPointF(c + d, c + d));
    painter.drawLine(QPointF(c + d, c - d), QPointF(c - d, c + d));
}

// A green arrow pointing right, in a 24-unit square.
void paintArrow(QPainter& painter)
{
    QPainterPath arrow;
    arrow.moveTo(2.5, 9.0);
    arrow.lineTo(12.0, 9.0);
    arrow.lineTo(12.0, 3.5);
    arrow.lineTo(21.5, 12.0);
    arrow.lineTo(12.0, 20.5);
    arrow.lineTo(12.0, 15.0);
    arrow.lineTo(2.5, 15.0);
    arrow.closeSubpath();
    QLinearGradient gradient(0, 3, 0, 21);
    gradient.setColorAt(0.0, Green.lighter(150));
    gradient.setColorAt(1.0, DarkGreen);
    painter.setPen(QPen(DarkGreen.darker(130), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    painter.setBrush(gradient);
    painter.drawPath(arrow);
}

// The drawing on the application icon: a page with a triangle and a circle on it, and a green
// badge with a check mark, in a 256-unit square.
void paintAppIcon(QPainter& painter)
{
    QPainterPath page;
    page.moveTo(44, 18);
    page.lineTo(156, 18);
    page.lineTo(204, 66);
    page.lineTo(204, 236);
    page.lineTo(44, 236);
    page.closeSubpath();
    QLinearGradient paper(0, 18, 0, 236);
    paper.setColorAt(0.0, Qt::white);
    paper.setColorAt(1.0, QColor(0xe6, 0xec, 0xf4));
    painter.setPen(QPen(Outline, 8, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    painter.setBrush(paper);
    painter.drawPath(page);
    QPainterPath fold;
    fold.moveTo(156, 18);
    fold.lineTo(156, 66);
    fold.lineTo(204, 66);
    fold.closeSubpath();
    painter.setBrush(QColor(0xc9, 0xd4, 0xe2));
    painter.drawPath(fold);

    QPainterPath triangle;
    triangle.moveTo(70, 190);
    triangle.lineTo(118, 96);
    triangle.lineTo(166, 190);
    triangle.closeSubpath();
    painter.setPen(QPen(BandBottom, 6, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    painter.setBrush(SkyBlue);
    painter.drawPath(triangle);
    painter.setPen(QPen(Accent.darker(130), 6));
    painter.setBrush(Accent);
    painter.drawEllipse(QPointF(150, 112), 30, 30);

    painter.setPen(QPen(DarkGreen, 7));
    QRadialGradient badge(170, 170, 70);
    badge.setColorAt(0.0, Green.lighter(140));
    badge.setColorAt(1.0, DarkGreen);
    painter.setBrush(badge);
    painter.drawEllipse(QPointF(190, 190), 54, 54);
    QPainterPath check;
    check.moveTo(162, 192);
    check.lineTo(182, 214);
    check.lineTo(220, 168);
    painter.setPen(QPen(Qt::white, 16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(check);
}

} // namespace

QPixmap appIconPixmap(int size)
{
    return paintSquare(size, 256, paintAppIcon);
}

QIcon appIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(appIconPixmap(size));
    return icon;
}

QPixmap aboutHeader()
{
    return paintRect(AboutHeaderSize, [](QPainter& painter) {
        paintBand(painter, AboutHeaderSize);
        painter.drawPixmap(10, 8, appIconPixmap(54));
        painter.setPen(Qt::white);
        painter.setFont(pixelFont(24, true));
        painter.drawText(QRect(74, 8, 390, 32), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Tarvel For Draw"));
        painter.setPen(QColor(0xdc, 0xe8, 0xf7));
        painter.setFont(pixelFont(12, false));
        painter.drawText(QRect(75, 40, 390, 20), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Repair for damaged OpenDocument drawings"));
    });
}

QPixmap banner()
{
    return paintRect(BannerSize, [](QPainter& painter) {
        paintBand(painter, BannerSize);
        painter.drawPixmap(8, 9, appIconPixmap(52));
        painter.setPen(Qt::white);
        painter.setFont(pixelFont(22, true));
        painter.drawText(QRect(66, 8, 126, 28), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Tarvel"));
        painter.setFont(pixelFont(16, true));
        painter.setPen(QColor(0xff, 0xd2, 0x9e));
        painter.drawText(QRect(67, 34, 126, 24), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("For Draw"));
    });
}

QPixmap logo()
{
    return paintRect(StripSize, [](QPainter& painter) {
        paintBand(painter, StripSize);
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(SkyBlue.lighter(120));
        QPainterPath triangle;
        triangle.moveTo(118, 56);
        triangle.lineTo(136, 20);
        triangle.lineTo(154, 56);
        triangle.closeSubpath();
        painter.drawPath(triangle);
        painter.setBrush(Accent);
        painter.drawEllipse(QPointF(150, 28), 11, 11);
        painter.setPen(Qt::white);
        painter.setFont(pixelFont(13, true));
        painter.drawText(QRect(6, 14, 104, 20), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Drawing"));
        painter.setFont(pixelFont(13, false));
        painter.drawText(QRect(6, 34, 104, 20), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("rescue for .odg"));
    });
}

QPixmap fillStrip()
{
    return paintRect(StripSize, [](QPainter& painter) { paintBand(painter, StripSize); });
}

QPixmap bottomBand()
{
    return paintRect(StripSize, [](QPainter& painter) {
        QLinearGradient gradient(0, 0, 0, StripSize.height());
        gradient.setColorAt(0.0, QColor(0xe9, 0xf0, 0xf9));
        gradient.setColorAt(1.0, QColor(0xc4, 0xd4, 0xea));
        painter.fillRect(QRect(QPoint(0, 0), StripSize), gradient);
        painter.fillRect(QRect(0, 0, StripSize.width(), 2), BandTop);
        painter.fillRect(QRect(0, 2, StripSize.width(), 1), Accent);
    });
}

QPixmap questionSign()
{
    return paintSquare(QuestionSignSize.width(), QuestionSignSize.width(), [](QPainter& painter) {
        paintLetterDisc(painter, QuestionSignSize.width(), QStringLiteral("?"));
    });
}

QIcon commandIcon(Command command)
{
    const std::function<void(QPainter&)> paint = [command](QPainter& painter) {
        switch (command) {
        case Command::SelectFiles:
            paintPage(painter);
            paintPlus(painter);
            break;
        case Command::RemoveFiles:
            paintPage(painter);
            paintCross(painter);
            break;
        case Command::Repair:
            paintPage(painter);
            paintWrench(painter);
            break;
        case Command::About:
            paintLetterDisc(painter, CommandImageSize, QStringLiteral("i"));
            break;
        case Command::Help:
            paintLetterDisc(painter, CommandImageSize, QStringLiteral("?"));
            break;
        case Command::Homepage:
            paintGlobe(painter);
            break;
        case Command::Exit:
            paintStopSign(painter, CommandImageSize);
            break;
        case Command::Customize:
            paintChevron(painter);
            break;
        }
    };
    QIcon icon;
    for (const int scale : {1, 2})
        icon.addPixmap(paintSquare(CommandImageSize * scale, CommandImageSize, paint));
    return icon;
}

QPixmap buttonPicture(Button button)
{
    constexpr qreal Units = ButtonPictureSize;
    return paintSquare(ButtonPictureSize, Units, [button](QPainter& painter) {
        switch (button) {
        case Button::Next:
            paintArrow(painter);
            break;
        case Button::Back:
            painter.translate(Units, 0);
            painter.scale(-1, 1);
            paintArrow(painter);
            break;
        case Button::Exit:
            paintStopSign(painter, Units);
            break;
        case Button::SelectFiles:
            painter.scale(Units / CommandImageSize, Units / CommandImageSize);
            paintPage(painter);
            paintPlus(painter);
            break;
        case Button::RemoveFiles:
            painter.scale(Units / CommandImageSize, Units / CommandImageSize);
            paintPage(painter);
            paintCross(painter);
            break;
        }
    });
}

} // namespace pictures
