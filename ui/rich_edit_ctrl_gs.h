// CRichEditCtrlGS: the rich text box of the wizard's information panel, with the one formatting
// operation the program uses.
#pragma once

#include <QTextEdit>

class CRichEditCtrlGS : public QTextEdit
{
    Q_OBJECT

public:
    explicit CRichEditCtrlGS(QWidget* parent = nullptr);

    // Makes the selection bold, or regular when all of it is bold already. With no selection it
    // toggles the format of what is typed next.
    void ToggleSelectionBold();
};
