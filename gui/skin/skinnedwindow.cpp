#include "gui/skin/skinnedwindow.h"

#include <QMouseEvent>
#include <QPainter>

#include "gui/platform/publicfunctions.h"
#include "gui/skin/imagelist.h"

namespace Sveltra {

SkinnedWindow::SkinnedWindow(const QString &backgroundPath, const QSize &fallbackSize, QWidget *parent,
                             Qt::WindowFlags extraFlags)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | extraFlags)
    , m_background(LocalizedPicture(backgroundPath))
{
    setFixedSize(m_background.isNull() ? fallbackSize : m_background.deviceIndependentSize().toSize());
    SetRoundRegion(this, CornerSize);
}

void SkinnedWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), QColor(0x1b, 0x22, 0x4a));
    else
        painter.drawPixmap(0, 0, m_background);
}

void SkinnedWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton)
        m_pressPoint = event->position().toPoint();
    QWidget::mousePressEvent(event);
}

void SkinnedWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::LeftButton)
        move(pos() + event->position().toPoint() - m_pressPoint);
    QWidget::mouseMoveEvent(event);
}

} // namespace Sveltra
