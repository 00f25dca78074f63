#include "ui/rich_edit_ctrl_gs.h"

#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace {

bool isBold(const QTextCharFormat& format)
{
    return format.fontWeight() >= QFont::Bold;
}

// True when every character in [start, end) is bold. Paragraph breaks carry no character
// format and are not counted.
bool allBold(const QTextDocument& document, int start, int end)
{
    for (QTextBlock block = document.findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = fragment.position();
            const int to = from + fragment.length();
            if (to <= start || from >= end)
                continue;
            if (!isBold(fragment.charFormat()))
                return false;
        }
    }
    return true;
}

} // namespace

CRichEditCtrlGS::CRichEditCtrlGS(QWidget* parent) : QTextEdit(parent) {}

void CRichEditCtrlGS::ToggleSelectionBold()
{
    QTextCursor cursor = textCursor();
    const bool bold = cursor.hasSelection()
                          ? !allBold(*document(), cursor.selectionStart(), cursor.selectionEnd())
                          : !isBold(cursor.charFormat());
    QTextCharFormat change;
    change.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    cursor.mergeCharFormat(change);
    if (!cursor.hasSelection())
        setCurrentCharFormat(cursor.charFormat());
    else
        setTextCursor(cursor);
}
