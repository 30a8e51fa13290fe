// Where the simulated phone's camera gets its pictures: a demo scene, a photo, a video, a webcam.
// Sources live in backends; the device core sees only this interface and never a source's library.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
    std::uint32_t* Row(int y) const { return reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(pixels) + static_cast<std::ptrdiff_t>(y) * stride); }
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

// Aiming: which part of the source's picture fills the frame, as a user moves the phone
// to bring an angle's corner under the dial. At zoom 1 the picture is scaled just enough to
// cover the frame; a larger zoom magnifies, a smaller one shows it whole with black beside it. (centerX, centerY) is the point
// of the picture, in fractions of its width and height, that lands at the frame's centre.
struct Aim {
    double zoom = 1.0;
    double centerX = 0.5;
    double centerY = 0.5;
    bool operator==(const Aim&) const = default;
};

class CameraSource {
public:
    virtual ~CameraSource() = default;

    // Names the source in log lines, e.g. "demo scene" or "photo holiday.jpg".
    virtual std::string Describe() const = 0;

    // Prepares the source; on failure returns false and a one-line reason.
    virtual bool Open(std::string& reason) = 0;
    virtual void Close() {}

    // The preview resolutions this source offers, in the camera's own order.
    virtual std::vector<FrameSize> Resolutions() const = 0;

    // Fills every pixel of `out` with the picture at device time `timeUs`
    // (microseconds since the device started). Returns false with a reason when
    // the source has failed for good (the device then falls back to the demo scene).
    virtual bool Render(std::int64_t timeUs, const PixelView& out, std::string& reason) = 0;

    // Brings `out`, which holds the frame this source drew into it last, up to `timeUs`,
    // and says where the picture changed (empty: it is the same picture). A source that
    // knows which part of its picture moves draws only that; any other draws it all.
    virtual bool Update(std::int64_t timeUs, const PixelView& out, PixelRect& changed, std::string& reason)
    {
        changed = {};
        if (!Render(timeUs, out, reason)) {
            return false;
        }
        changed = {0, 0, out.width, out.height};
        return true;
    }

    // Draws the picture at `timeUs` about the point (centerX, centerY), in fractions of the
    // picture, which lands at the middle of `out`, `scale` pixels of `out` to a picture pixel
    // (a loupe: at any magnification, from the picture's own pixels). False with a reason
    // when the source cannot; it then shows only whole frames.
    virtual bool RenderDetail(std::int64_t timeUs, const PixelView& out, double centerX, double centerY, double scale,
                              std::string& reason)
    {
        (void)timeUs, (void)out, (void)centerX, (void)centerY, (void)scale;
        reason = "this camera shows no detail";
        return false;
    }

    // Sources that can be aimed (all of ours) apply it from the next Render on; the
    // device keeps the aim within the bounds of ClampAim (device/Aiming.h).
    virtual void SetAim(const Aim& aim) { (void)aim; }

    // The picture's own size as it is seen (square pixels), which aiming moves over; 0 x 0
    // when unknown or not open, and then taken to have the frame's shape.
    virtual FrameSize PictureSize() const { return {}; }

    // Lends the picture the camera looks at, whole, unaimed and at its own resolution
    // (PictureSize, square pixels), to `look` for the length of the call; what is found in
    // it is found in what the user sees. False, without calling `look`, when there is none.
    virtual bool SeePicture(std::int64_t timeUs, const std::function<void(const PixelView&)>& look)
    {
        (void)timeUs;
        (void)look;
        return false;
    }
};

} // namespace device
