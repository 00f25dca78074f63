// The program's pictures, drawn with QPainter when they are asked for: the application icon, the
// header of the About box, the pictures of the wizard's painted background, the 16 by 16 command
// images of toolbars and menus, and the 24 by 24 pictures of the wizard's buttons.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace pictures {

// Sizes the painting code relies on.
inline constexpr QSize AboutHeaderSize{472, 71};
inline constexpr QSize BannerSize{194, 71};
inline constexpr QSize StripSize{173, 71}; // logo, fill strip and bottom band
inline constexpr QSize QuestionSignSize{48, 48};
inline constexpr int CommandImageSize = 16;
inline constexpr int ButtonPictureSize = 24;

QIcon appIcon();
QPixmap appIconPixmap(int size);

QPixmap aboutHeader();
QPixmap banner();
QPixmap logo();
QPixmap fillStrip();  // a plain band: stretched between banner and logo
QPixmap bottomBand(); // stretched over the whole width at the bottom
QPixmap questionSign();

enum class Command
{
    SelectFiles,
    RemoveFiles,
    Repair,
    About,
    Help,
    Homepage,
    Exit,
    Customize,
};
QIcon commandIcon(Command command);

enum class Button
{
    Next,
    Back,
    Exit,
    SelectFiles,
    RemoveFiles,
};
QPixmap buttonPicture(Button button);

} // namespace pictures
