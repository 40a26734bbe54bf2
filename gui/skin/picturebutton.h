#pragma once

#include <QAbstractButton>
#include <QPixmap>

// A picture button of the skinned windows: it shows a picture unscaled at its top-left corner
// and, while the left mouse button (or the space bar) holds it down, its pressed picture when it
// has one. It is a real button, so screen readers see a push button under its accessible name
// (give every one a name that says what it does) and the keyboard reaches it with Tab, then
// Space or Enter. A dotted frame shows keyboard focus; a mouse click takes no focus and leaves
// no frame on the skin.
namespace Sveltra {

class PictureButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit PictureButton(QWidget *parent = nullptr);

    void setPicture(const QPixmap &picture);
    const QPixmap &picture() const { return m_picture; }
    void setPressedPicture(const QPixmap &picture);
    const QPixmap &pressedPicture() const { return m_pressedPicture; }

    // The picture on screen now: the pressed one while held down (when there is one).
    const QPixmap &shownPicture() const;

    // A blinking button keeps its place, its focus and its clicks; only its picture goes.
    void setPictureVisible(bool visible);
    bool isPictureVisible() const { return m_pictureVisible; }

    // True while the button has focus that came from the keyboard (the frame is drawn).
    bool showsFocusFrame() const { return hasFocus() && m_keyboardFocus; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QPixmap m_picture;
    QPixmap m_pressedPicture;
    bool m_pictureVisible = true;
    bool m_keyboardFocus = false;
};

} // namespace Sveltra
