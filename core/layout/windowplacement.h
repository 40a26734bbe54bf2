#pragma once

#include <optional>
#include <vector>

#include "core/layout/layout.h"

// Where the main window opens, in pixels, as pure functions: the size and place kept from the
// last session are taken only when they still fit the screens present now; anything else (a
// damaged or hand-edited window file, a screen that has gone or shrunk) opens the window as at
// a first start. The window reads the screens and its file, and applies the result.
namespace Sveltra::Layout {

// The first start: two thirds of the screen's available width and three quarters of its
// height, never less than the designed size and never more than the screen, centred on it.
PixelRect FirstStartWindow(const PixelRect &available, int designedWidth, int designedHeight);

// The kept rectangle (left and top of the window, width and height of its client area) when it
// is at least the minimum size and lies wholly in the available area of one of the screens;
// nothing otherwise. Works for any int a file can hold: nothing overflows.
std::optional<PixelRect> CheckedWindow(const PixelRect &kept, const std::vector<PixelRect> &screens, int minimumWidth,
                                       int minimumHeight);

} // namespace Sveltra::Layout
