#include "ui/my_static.h"

CMyStatic::CMyStatic(QWidget* parent) : QLabel(parent)
{
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
}

void CMyStatic::mouseMoveEvent(QMouseEvent* event)
{
    // Another widget may have changed the cursor; every move over the label sets the hand again.
    setCursor(Qt::PointingHandCursor);
    QLabel::mouseMoveEvent(event);
}
