#pragma once

#include <QWidget>

namespace Sveltra {

// A splitter bar of the main window (`SplitH`, `SplitV`): a thin bar painted RGB(192,192,255)
// that shows the sizing pointer of its direction. It only reports the mouse; the window decides
// what a drag does (and lays itself out again). While the left button is held the bar keeps
// receiving the pointer's moves, wherever the pointer goes. The arrow keys of its direction
// move it by a step from the keyboard. User-interface thread only.
class SplitBar final : public QWidget
{
    Q_OBJECT

public:
    // Qt::Horizontal: an upright bar that moves left and right (SplitH); Qt::Vertical: a flat
    // bar that moves up and down (SplitV).
    SplitBar(Qt::Orientation movement, QWidget *parent = nullptr);

    Qt::Orientation movement() const { return m_movement; }

    static constexpr int KeyboardStepPixels = 10;

signals:
    void mousePressed(Qt::MouseButton button);
    // The pointer moved; offset is its distance from the bar's left edge (SplitH) or top edge
    // (SplitV), in pixels, negative when it is before the bar.
    void mouseMoved(int offset);
    void mouseReleased(Qt::MouseButton button);
    // An arrow key asked to move the bar by this many pixels.
    void keyboardStep(int pixels);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    Qt::Orientation m_movement;
};

} // namespace Sveltra
