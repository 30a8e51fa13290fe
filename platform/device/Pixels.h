// The pixels the device passes around: frame sizes, views of 32-bit images and parts of them.
// The camera, the display and every drawing helper speak in these.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace device {

struct FrameSize {
    int width = 0;
    int height = 0;
    bool operator==(const FrameSize&) const = default;
};

// A 32-bit image in pixman's a8r8g8b8 layout (0xAARRGGBB words, alpha premultiplied),
// rows `stride` bytes apart. Camera frames are always opaque.
struct PixelView {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    std::uint32_t* Row(int y) const
    {
        return reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(pixels) +
                                                static_cast<std::ptrdiff_t>(y) * stride);
    }
};

// A part of a frame, in its pixels; empty when width or height is not positive.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool Empty() const { return width <= 0 || height <= 0; }
    bool operator==(const PixelRect&) const = default;
    // The smallest rectangle holding both (an empty one adds nothing).
    PixelRect United(const PixelRect& o) const
    {
        if (o.Empty()) {
            return *this;
        }
        if (Empty()) {
            return o;
        }
        const int x0 = std::min(x, o.x), y0 = std::min(y, o.y);
        return {x0, y0, std::max(x + width, o.x + o.width) - x0, std::max(y + height, o.y + o.height) - y0};
    }
    PixelRect Intersected(const PixelRect& o) const
    {
        const int x0 = std::max(x, o.x), y0 = std::max(y, o.y);
        const int x1 = std::min(x + width, o.x + o.width), y1 = std::min(y + height, o.y + o.height);
        return x1 > x0 && y1 > y0 ? PixelRect{x0, y0, x1 - x0, y1 - y0} : PixelRect{};
    }
};

} // namespace device
