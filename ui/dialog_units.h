// Dialog layout in dialog units, as the dialogs were designed: a horizontal unit is a quarter of
// the font's average character width and a vertical unit an eighth of its height, so a dialog
// keeps its proportions whatever font the desktop uses.
#pragma once

#include <QRect>

class QFont;

class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font);

    [[nodiscard]] int x(int units) const { return (units * m_baseX + 2) / 4; }
    [[nodiscard]] int y(int units) const { return (units * m_baseY + 4) / 8; }
    [[nodiscard]] QRect rect(int left, int top, int width, int height) const
    {
        return {x(left), y(top), x(width), y(height)};
    }
    [[nodiscard]] QSize size(int width, int height) const { return {x(width), y(height)}; }

private:
    int m_baseX = 6;
    int m_baseY = 13;
};
