// The nine application looks (commands 210 to 218): a Qt style, a palette, and a style sheet
// for the menu bar, toolbars and status bar that gives each look its own colours.
#pragma once

#include <QPalette>
#include <QString>

class QMainWindow;

namespace looks {

struct Look
{
    int id = 0;            // the look command this was made for
    QString styleName;     // a QStyleFactory key
    QPalette palette;      // for the whole application
    QString barStyleSheet; // for the frame's bars; empty for the plain look
    bool smartDocking = false;
};

// The look a command id selects. The four Office 2007 looks (215 to 218) are colour schemes of
// one style; any id outside 210 to 218 gives that style with `currentScheme`, the scheme applied
// last (215 until another was chosen).
[[nodiscard]] Look lookFor(int id, int currentScheme);

// Applies the look to the application and to the frame's bars, with the wait cursor shown.
void applyLook(QMainWindow& frame, const Look& look);

} // namespace looks
