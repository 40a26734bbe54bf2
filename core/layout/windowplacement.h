#pragma once

#include <optional>
#include <vector>

#include "core/layout/layout.h"

// Where the main window opens, in pixels, as pure functions: the size and place kept from the
// last session are kept as far as the screens present now allow (moved onto a screen, shrunk to
// it); only a size that is no window's (damaged, hand-edited, below the minimum) opens the
// window as at a first start. The window reads the screens and its file, and applies the result.
namespace Sveltra::Layout {

// The first start: two thirds of the screen's available width and three quarters of its
// height, never less than the designed size and never more than the screen, centred on it.
PixelRect FirstStartWindow(const PixelRect &available, int designedWidth, int designedHeight);

// The kept rectangle (left and top of the window, width and height of its client area) brought
// wholly into the available area of the screen it mostly lies on (the first screen when it lies
// on none): shrunk to that area where it is larger, then moved in by no more than it hangs
// over. Nothing when its size is below the minimum or there is no screen. Works for any int a
// file can hold: nothing overflows.
std::optional<PixelRect> PlacedWindow(const PixelRect &kept, const std::vector<PixelRect> &screens, int minimumWidth,
                                      int minimumHeight);

} // namespace Sveltra::Layout
