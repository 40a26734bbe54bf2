#pragma once

#include <QWidget>

#include "core/layout/layout.h"

// The boundary between the layout rules, which count in twips, and the widgets, which count in
// pixels: a control's geometry read into twips and written back from them.
namespace Sveltra::Layout {

inline Rect TwipsOf(const QWidget *widget)
{
    const QRect g = widget->geometry();
    return ToTwips(PixelRect{g.x(), g.y(), g.width(), g.height()});
}

inline void Place(QWidget *widget, const Rect &twips)
{
    const PixelRect p = ToPixels(twips);
    widget->setGeometry(p.x, p.y, p.width, p.height);
}

} // namespace Sveltra::Layout
