#include "ui/app_looks.h"

#include "ui/commands.h"

#include <QApplication>
#include <QMainWindow>
#include <QStyle>
#include <QStyleFactory>

#include <array>

namespace looks {

namespace {

// Colours of one look, as 0xRRGGBB. The bar colours are the top and bottom of a vertical
// gradient; "hover" is the selected menu-bar item.
struct Scheme
{
    int id;
    const char* style;
    QRgb window, windowText, base, alternateBase, text, button, buttonText;
    QRgb highlight, highlightedText, link, toolTipBase, toolTipText;
    QRgb barTop, barBottom, barBorder, menuTop, menuBottom, hover, hoverBorder, hoverText;
    QRgb statusTop, statusBottom;
    bool plainBars;
    bool smartDocking;
};

constexpr std::array<Scheme, 9> Schemes{{
    // Windows 2000: the classic grey with navy selection and no painted bars.
    {cmd::LookWindows2000,
     "Windows",
     0xd4d0c8,
     0x000000,
     0xffffff,
     0xf1efe9,
     0x000000,
     0xd4d0c8,
     0x000000,
     0x0a246a,
     0xffffff,
     0x0000ff,
     0xffffe1,
     0x000000,
     0xd4d0c8,
     0xd4d0c8,
     0x808080,
     0xd4d0c8,
     0xd4d0c8,
     0x0a246a,
     0x0a246a,
     0xffffff,
     0xd4d0c8,
     0xd4d0c8,
     true,
     false},
    // Office XP: pale bars, a lilac-grey selection framed in navy.
    {cmd::LookOfficeXp, "Fusion", 0xefedea, 0x000000, 0xffffff, 0xf6f5f2, 0x000000,
     0xe9e7e1,          0x000000, 0xb6bdd2, 0x000000, 0x0000ff, 0xffffe1, 0x000000,
     0xfbfaf8,          0xe2dfd8, 0xb9b5ab, 0xf6f5f2, 0xf6f5f2, 0xb6bdd2, 0x0a246a,
     0x000000,          0xefedea, 0xe4e2dc, false,    false},
    // Windows XP: beige bars and the strong XP blue selection.
    {cmd::LookWindowsXp, "Fusion", 0xece9d8, 0x000000, 0xffffff, 0xf5f3ea, 0x000000,
     0xece9d8,           0x000000, 0x316ac5, 0xffffff, 0x0000ff, 0xffffe1, 0x000000,
     0xfcfbf7,           0xd9d5c1, 0xa8a48e, 0xf3f1e6, 0xe3dfcc, 0x316ac5, 0x264f94,
     0xffffff,           0xece9d8, 0xd6d2bd, false,    false},
    // Office 2003: saturated blue bars with an orange selection.
    {cmd::LookOffice2003,
     "Fusion",
     0xd7e5f9,
     0x000000,
     0xffffff,
     0xeaf2fd,
     0x000000,
     0xc9dcf7,
     0x000000,
     0xffc580,
     0x000000,
     0x0033cc,
     0xffffe1,
     0x000000,
     0xe3effe,
     0x87aadf,
     0x3b619c,
     0xc4daf9,
     0x9ebef5,
     0xffeec2,
     0x000080,
     0x000000,
     0xd3e4fb,
     0x9dbdeb,
     false,
     true},
    // Visual Studio 2005: grey-beige bars with a light blue selection.
    {cmd::LookVs2005, "Fusion", 0xeeede5, 0x000000, 0xffffff, 0xf7f6f1, 0x000000,
     0xe5e3d8,        0x000000, 0xc1d2ee, 0x000000, 0x0000ff, 0xffffe1, 0x000000,
     0xfafaf9,        0xd5d1c0, 0xaca899, 0xf7f6f1, 0xe5e3d8, 0xc1d2ee, 0x316ac5,
     0x000000,        0xeeede5, 0xdcd9cb, false,    true},
    // Office 2007 blue: pale sky-blue bars, navy text, an amber selection.
    {cmd::LookBlue, "Fusion", 0xcfdff5, 0x15428b, 0xffffff, 0xeef4fb, 0x000000, 0xc2d7f2, 0x15428b,
     0xffd86b,      0x000000, 0x1f5fbf, 0xf4f8fd, 0x15428b, 0xe8f1fc, 0xbdd4f1, 0x8db2e3, 0xe4eefb,
     0xc8dbf4,      0xffe69b, 0xe3c062, 0x15428b, 0xdce8f7, 0xb9d1ef, false,    true},
    // Office 2007 black: dark graphite chrome with light text.
    {cmd::LookBlack, "Fusion", 0x3f3f3f, 0xf2f2f2, 0x2b2b2b, 0x353535, 0xededed, 0x4d4d4d, 0xf2f2f2,
     0xffb648,       0x000000, 0x8cc8ff, 0x2b2b2b, 0xf2f2f2, 0x666666, 0x2b2b2b, 0x161616, 0x5c5c5c,
     0x363636,       0xffcd6b, 0xd99b2d, 0x000000, 0x505050, 0x242424, false,    true},
    // Office 2007 silver: light grey chrome with an amber selection.
    {cmd::LookSilver, "Fusion", 0xe8e9eb, 0x2e2e2e, 0xffffff, 0xf3f4f6, 0x000000,
     0xdcdee2,        0x2e2e2e, 0xffd86b, 0x000000, 0x1f5fbf, 0xfafafa, 0x2e2e2e,
     0xf8f9fa,        0xc6ccd4, 0xa2a9b3, 0xf3f4f6, 0xd5d9df, 0xffe69b, 0xe3c062,
     0x2e2e2e,        0xe5e7eb, 0xc3c8d0, false,    true},
    // Office 2007 aqua: teal-tinted chrome with a turquoise selection.
    {cmd::LookAqua, "Fusion", 0xc4e2e2, 0x0d3b48, 0xffffff, 0xe9f4f6, 0x000000, 0xafd6d8, 0x0d3b48,
     0x7fd0dd,      0x000000, 0x0b6e85, 0xf0f9fa, 0x0d3b48, 0xe8f5f7, 0x8fc6d2, 0x5fa7b5, 0xdff1f4,
     0xaed9e0,      0xa9e3ec, 0x4ea6b4, 0x0d3b48, 0xd8eef1, 0x97ccd6, false,    true},
}};

const Scheme& schemeFor(int id)
{
    for (const Scheme& scheme : Schemes)
        if (scheme.id == id)
            return scheme;
    return Schemes[cmd::LookDefault - cmd::LookFirst];
}

QString css(QRgb rgb)
{
    return QColor(rgb).name();
}

QString gradient(QRgb top, QRgb bottom)
{
    return QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
        .arg(css(top), css(bottom));
}

QPalette paletteFor(const Scheme& s)
{
    QPalette palette(QColor(s.button), QColor(s.window));
    const auto set = [&palette](QPalette::ColorRole role, QRgb rgb) {
        palette.setColor(QPalette::All, role, QColor(rgb));
    };
    set(QPalette::WindowText, s.windowText);
    set(QPalette::Base, s.base);
    set(QPalette::AlternateBase, s.alternateBase);
    set(QPalette::Text, s.text);
    set(QPalette::ButtonText, s.buttonText);
    set(QPalette::Highlight, s.highlight);
    set(QPalette::HighlightedText, s.highlightedText);
    set(QPalette::Link, s.link);
    set(QPalette::LinkVisited, s.link);
    set(QPalette::ToolTipBase, s.toolTipBase);
    set(QPalette::ToolTipText, s.toolTipText);
    set(QPalette::PlaceholderText, QColor(s.text).lighter(180).rgb());
    // Greyed text stays readable on both the light and the dark looks.
    const QColor disabled =
        QColor(s.window).lightness() < 128 ? QColor(0x8a, 0x8a, 0x8a) : QColor(0x9a, 0x9a, 0x9a);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}

QString barStyleSheetFor(const Scheme& s)
{
    if (s.plainBars)
        return {};
    return QStringLiteral("QMenuBar { background: %1; color: %2; border-bottom: 1px solid %3; }"
                          "QMenuBar::item { background: transparent; padding: 3px 9px; margin: 1px;"
                          " border: 1px solid transparent; }"
                          "QMenuBar::item:selected, QMenuBar::item:pressed { background: %4;"
                          " border: 1px solid %5; border-radius: 2px; color: %6; }"
                          "QToolBar { background: %7; border: 1px solid %3; border-radius: 3px;"
                          " spacing: 2px; padding: 1px; }"
                          "QStatusBar { background: %8; color: %2; border-top: 1px solid %3; }"
                          "QStatusBar QLabel { color: %2; }")
        .arg(gradient(s.menuTop, s.menuBottom), css(s.windowText), css(s.barBorder), css(s.hover),
             css(s.hoverBorder), css(s.hoverText), gradient(s.barTop, s.barBottom),
             gradient(s.statusTop, s.statusBottom));
}

} // namespace

Look lookFor(int id, int currentScheme)
{
    const bool known = cmd::isLook(id);
    const Scheme& scheme = schemeFor(known ? id : currentScheme);
    Look look;
    look.id = id;
    look.styleName = QString::fromLatin1(scheme.style);
    look.palette = paletteFor(scheme);
    look.barStyleSheet = barStyleSheetFor(scheme);
    look.smartDocking = known ? scheme.smartDocking : true;
    return look;
}

void applyLook(QMainWindow& frame, const Look& look)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const QStyle* current = QApplication::style();
    if (current == nullptr || current->name().compare(look.styleName, Qt::CaseInsensitive) != 0) {
        if (QStyle* style = QStyleFactory::create(look.styleName))
            QApplication::setStyle(style);
    }
    QApplication::setPalette(look.palette);
    frame.setStyleSheet(look.barStyleSheet);
    QMainWindow::DockOptions options = frame.dockOptions();
    options.setFlag(QMainWindow::AnimatedDocks, look.smartDocking);
    frame.setDockOptions(options);
    frame.update();
    QGuiApplication::restoreOverrideCursor();
}

} // namespace looks
