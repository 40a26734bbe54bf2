#include "gui/skin/picturebutton.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

namespace Sveltra {

PictureButton::PictureButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_TranslucentBackground);
}

void PictureButton::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void PictureButton::setPressedPicture(const QPixmap &picture)
{
    m_pressedPicture = picture;
    update();
}

const QPixmap &PictureButton::shownPicture() const
{
    return isDown() && !m_pressedPicture.isNull() ? m_pressedPicture : m_picture;
}

void PictureButton::setPictureVisible(bool visible)
{
    if (m_pictureVisible == visible)
        return;
    m_pictureVisible = visible;
    update();
}

QSize PictureButton::sizeHint() const
{
    return m_picture.isNull() ? QSize(16, 16) : m_picture.deviceIndependentSize().toSize();
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_pictureVisible)
        painter.drawPixmap(0, 0, shownPicture());
    if (showsFocusFrame()) {
        // A dotted frame for keyboard users, in the skin's cyan, clear of the picture's edge.
        QPen pen(QColor(0, 229, 255), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void PictureButton::focusInEvent(QFocusEvent *event)
{
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
        m_keyboardFocus = true;
    else if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        m_keyboardFocus = false;
    QAbstractButton::focusInEvent(event);
}

void PictureButton::focusOutEvent(QFocusEvent *event)
{
    // A window that loses and regains activation keeps its frame where it was.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        m_keyboardFocus = false;
    QAbstractButton::focusOutEvent(event);
}

void PictureButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

} // namespace Sveltra
