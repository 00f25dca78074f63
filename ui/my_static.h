// CMyStatic: a text label that shows the hand cursor, used for clickable text.
#pragma once

#include <QLabel>

class CMyStatic : public QLabel
{
    Q_OBJECT

public:
    explicit CMyStatic(QWidget* parent = nullptr);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};
