// The pictures a camera previews into and the compositor shows under an overlay panel,
// and the registry a camera finds them in from the pixel address of a BufferInfo.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "device/CameraSource.h"

namespace graphics {

struct PreviewBuffer {
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

// Every live preview buffer by the address of its pixels. Buffers are held weakly: one that
// has gone is not found, even when a new one sits at its address before registering. Any thread.
class PreviewBuffers {
public:
    static void Register(const std::shared_ptr<PreviewBuffer>& buffer);
    // The live buffer whose pixels start at `pixels`, or null.
    static std::shared_ptr<PreviewBuffer> Find(const void* pixels);
};

} // namespace graphics
