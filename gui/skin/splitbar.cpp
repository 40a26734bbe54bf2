#include "gui/skin/splitbar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace Sveltra {

SplitBar::SplitBar(Qt::Orientation movement, QWidget *parent)
    : QWidget(parent)
    , m_movement(movement)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(movement == Qt::Horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor);
}

void SplitBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(192, 192, 255));
    if (hasFocus()) {
        // A keyboard user must see which bar the arrow keys move.
        painter.fillRect(rect(), QColor(64, 64, 192));
    }
}

void SplitBar::mousePressEvent(QMouseEvent *event)
{
    emit mousePressed(event->button());
    event->accept();
}

void SplitBar::mouseMoveEvent(QMouseEvent *event)
{
    // The sizing pointer again at every move, as the bar owns the pointer's shape over it.
    setCursor(m_movement == Qt::Horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    const QPoint at = event->position().toPoint();
    emit mouseMoved(m_movement == Qt::Horizontal ? at.x() : at.y());
    event->accept();
}

void SplitBar::mouseReleaseEvent(QMouseEvent *event)
{
    emit mouseReleased(event->button());
    event->accept();
}

void SplitBar::keyPressEvent(QKeyEvent *event)
{
    const bool horizontal = m_movement == Qt::Horizontal;
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        step = horizontal ? -KeyboardStepPixels : 0;
        break;
    case Qt::Key_Right:
        step = horizontal ? KeyboardStepPixels : 0;
        break;
    case Qt::Key_Up:
        step = horizontal ? 0 : -KeyboardStepPixels;
        break;
    case Qt::Key_Down:
        step = horizontal ? 0 : KeyboardStepPixels;
        break;
    default:
        break;
    }
    if (step == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    emit keyboardStep(step);
    event->accept();
}

} // namespace Sveltra
