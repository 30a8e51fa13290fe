// Where the window opens when it remembers its last place: the remembered size, fitted onto
// the desktop, and the remembered position only while enough of it is on a display.
#pragma once

#include <algorithm>
#include <vector>

namespace sdl::detail {

struct Place {
    int x = 0, y = 0, w = 0, h = 0;
    bool centred = true; // no position to keep: SDL centres the window
};

struct Area {
    int x = 0, y = 0, w = 0, h = 0;
};

// At least this much of the window's width and height must be on one display for a
// remembered position to be kept (a display unplugged since must not hide the window).
constexpr int kMinOnDisplay = 64;
constexpr int kMinWindowSide = 120;

// The window's place from a remembered one (size in the window's own units), on displays
// whose usable areas are `usable` (the first is the primary). The size is kept within
// the smallest side limit and the primary's usable area.
inline Place RememberedPlace(int x, int y, int w, int h, bool hasPosition, const std::vector<Area>& usable)
{
    Place p;
    p.w = std::max(w, kMinWindowSide);
    p.h = std::max(h, kMinWindowSide);
    if (!usable.empty() && usable[0].w > 0 && usable[0].h > 0) {
        p.w = std::min(p.w, std::max(usable[0].w, kMinWindowSide));
        p.h = std::min(p.h, std::max(usable[0].h, kMinWindowSide));
    }
    if (!hasPosition) {
        return p;
    }
    for (const Area& a : usable) {
        const int overlapW = std::min(x + p.w, a.x + a.w) - std::max(x, a.x);
        const int overlapH = std::min(y + p.h, a.y + a.h) - std::max(y, a.y);
        if (overlapW >= kMinOnDisplay && overlapH >= kMinOnDisplay) {
            p.x = x;
            p.y = y;
            p.centred = false;
            return p;
        }
    }
    return p;
}

} // namespace sdl::detail
