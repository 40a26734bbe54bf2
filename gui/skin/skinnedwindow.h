#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>

namespace Sveltra {

// Base of the skinned windows: borderless, covered by a background picture (the window takes
// its size), clipped to a rounded rectangle with corner size 25, and dragged by its background
// with the left mouse button alone.
class SkinnedWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int CornerSize = 25;

    explicit SkinnedWindow(const QString &backgroundPath, const QSize &fallbackSize, QWidget *parent = nullptr,
                           Qt::WindowFlags extraFlags = {});

    const QPixmap &background() const { return m_background; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPixmap m_background;
    QPoint m_pressPoint; // where the left button went down, in the window's coordinates
};

} // namespace Sveltra
