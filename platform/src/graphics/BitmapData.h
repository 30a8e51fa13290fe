// The pixels behind a Bitmap: immutable once made, shared by every control and canvas
// that was handed the bitmap, and wrapped as a pixman image for compositing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <pixman.h>

#include "osp/Graphics.h"

namespace graphics {

struct BitmapData {
    BitmapData(int w, int h, Osp::Graphics::BitmapPixelFormat fmt, std::string resourceName);
    ~BitmapData();
    BitmapData(const BitmapData&) = delete;
    BitmapData& operator=(const BitmapData&) = delete;

    // Pixels are premultiplied a8r8g8b8 for ARGB8888 and r5g6b5 for RGB565.
    std::uint8_t* Bytes() { return bytes.data(); }
    int Stride() const { return stride; }

    const int width;
    const int height;
    const Osp::Graphics::BitmapPixelFormat format;
    // The file the bitmap was decoded from ("pin_up_ball.png"), for traces; may be empty.
    const std::string name;
    int stride = 0;
    std::vector<std::uint8_t> bytes;
    // Only ever used from the event thread; its transform is set for each turned draw.
    pixman_image_t* image = nullptr;
    // Whether any pixel is partly transparent (opaque bitmaps are copied, not blended).
    bool hasAlpha = true;
};

// Makes bitmap data of `format` from premultiplied a8r8g8b8 pixels (RGB565 drops alpha
// over black, as the phone's 16-bit surfaces do).
std::shared_ptr<BitmapData> MakeBitmapData(int width, int height, const std::uint32_t* argb,
                                           Osp::Graphics::BitmapPixelFormat format, std::string name);

} // namespace graphics
