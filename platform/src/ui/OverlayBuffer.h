// The picture behind an overlay panel: the camera previews into it and the compositor
// shows it under the panel's children.
#pragma once

#include <cstdint>
#include <vector>

#include "device/CameraSource.h"

namespace ui {

struct OverlayBuffer {
    int width = 0;
    int height = 0;
    // Opaque pixels in pixman's a8r8g8b8 layout, rows packed; black until the first frame.
    std::vector<std::uint32_t> pixels;
    // Bumped by each camera frame that changed the picture, so the screen knows when to
    // compose again.
    std::uint64_t generation = 0;
    // Where the picture changed since the screen last drew its changes.
    device::PixelRect changed;
};

} // namespace ui
