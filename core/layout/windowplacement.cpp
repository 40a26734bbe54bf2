#include "core/layout/windowplacement.h"

#include <algorithm>

namespace Sveltra::Layout {

PixelRect FirstStartWindow(const PixelRect &available, int designedWidth, int designedHeight)
{
    const int width = std::min(std::max(available.width * 2 / 3, designedWidth), available.width);
    const int height = std::min(std::max(available.height * 3 / 4, designedHeight), available.height);
    return {available.x + available.width / 2 - width / 2, available.y + available.height / 2 - height / 2, width, height};
}

std::optional<PixelRect> CheckedWindow(const PixelRect &kept, const std::vector<PixelRect> &screens, int minimumWidth,
                                       int minimumHeight)
{
    if (kept.width < std::max(minimumWidth, 1) || kept.height < std::max(minimumHeight, 1))
        return std::nullopt;
    // In 64 bits: a left of 2^31 - 1 plus any width must not wrap round onto a screen.
    const auto inside = [&kept](const PixelRect &screen) {
        return screen.width > 0 && screen.height > 0 && kept.x >= screen.x && kept.y >= screen.y
            && qint64(kept.x) + kept.width <= qint64(screen.x) + screen.width
            && qint64(kept.y) + kept.height <= qint64(screen.y) + screen.height;
    };
    if (std::any_of(screens.begin(), screens.end(), inside))
        return kept;
    return std::nullopt;
}

} // namespace Sveltra::Layout
