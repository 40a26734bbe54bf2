#pragma once

#include <QAbstractButton>
#include <QPixmap>

// A picture button of the skinned windows: it shows a picture unscaled at its top-left corner
// and, while the left mouse button (or the space bar) holds it down, its pressed picture when it
// has one. It is a real button, so it takes keyboard focus (Tab, then Space or Enter), shows a
// focus frame, and screen readers see a push button under its accessible name; give every one
// an accessible name that says what it does.
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

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPixmap m_picture;
    QPixmap m_pressedPicture;
    bool m_pictureVisible = true;
};

} // namespace Sveltra
