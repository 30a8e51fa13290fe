// Where the simulated phone's camera gets its pictures: a demo scene, a photo, a video, a webcam.
// Sources live in backends; the device core sees only this interface and never a source's library.
#pragma once

#include <cstdint>
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

    // Sources that can be aimed (all of ours) apply it from the next Render on; the
    // device keeps the aim within the bounds of ClampAim (device/Aiming.h).
    virtual void SetAim(const Aim& aim) { (void)aim; }

    // The picture's own size as it is seen (square pixels), which aiming moves over; 0 x 0
    // when unknown or not open, and then taken to have the frame's shape.
    virtual FrameSize PictureSize() const { return {}; }
};

} // namespace device
