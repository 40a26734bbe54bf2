#include "core/layout/windowplacement.h"

#include <algorithm>

namespace Sveltra::Layout {

PixelRect FirstStartWindow(const PixelRect &available, int designedWidth, int designedHeight)
{
    const int width = std::min(std::max(available.width * 2 / 3, designedWidth), available.width);
    const int height = std::min(std::max(available.height * 3 / 4, designedHeight), available.height);
    return {available.x + available.width / 2 - width / 2, available.y + available.height / 2 - height / 2, width, height};
}

std::optional<PixelRect> PlacedWindow(const PixelRect &kept, const std::vector<PixelRect> &screens, int minimumWidth,
                                      int minimumHeight)
{
    if (kept.width < std::max(minimumWidth, 1) || kept.height < std::max(minimumHeight, 1))
        return std::nullopt;
    // In 64 bits: a left of 2^31 - 1 plus any width must not wrap round onto a screen.
    const auto overlap = [&kept](const PixelRect &screen) -> qint64 {
        const qint64 left = std::max<qint64>(kept.x, screen.x);
        const qint64 right = std::min(qint64(kept.x) + kept.width, qint64(screen.x) + screen.width);
        const qint64 top = std::max<qint64>(kept.y, screen.y);
        const qint64 bottom = std::min(qint64(kept.y) + kept.height, qint64(screen.y) + screen.height);
        return right > left && bottom > top ? (right - left) * (bottom - top) : 0;
    };
    const PixelRect *home = nullptr;
    qint64 most = 0;
    for (const PixelRect &screen : screens) {
        if (screen.width <= 0 || screen.height <= 0)
            continue;
        const qint64 area = overlap(screen);
        if (!home || area > most) {
            home = &screen;
            most = area;
        }
    }
    if (!home)
        return std::nullopt;
    PixelRect placed{0, 0, std::min(kept.width, home->width), std::min(kept.height, home->height)};
    if (most > 0) {
        // Moved in from the edges it hangs over.
        placed.x = int(std::clamp<qint64>(kept.x, home->x, qint64(home->x) + home->width - placed.width));
        placed.y = int(std::clamp<qint64>(kept.y, home->y, qint64(home->y) + home->height - placed.height));
    } else {
        // On no screen at all (one that has gone): centred on the first.
        placed.x = home->x + (home->width - placed.width) / 2;
        placed.y = home->y + (home->height - placed.height) / 2;
    }
    return placed;
}

} // namespace Sveltra::Layout
