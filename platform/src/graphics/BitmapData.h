// The pixels behind a Bitmap: immutable once made, shared by every control and canvas
// that was handed the bitmap, and wrapped as a pixman image for compositing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <pixman.h>

#include "device/PixmanImage.h"

#include "osp/Graphics.h"

namespace graphics {

struct BitmapData {
    BitmapData(int w, int h, Osp::Graphics::BitmapPixelFormat fmt, std::string resourceName);
    ~BitmapData();
    BitmapData(const BitmapData&) = delete;
    BitmapData& operator=(const BitmapData&) = delete;

    // Counts this bitmap's bytes against the decoded images' budget (ImageBudget.h) until
    // it goes; false when they do not fit.
    bool ChargeToImageBudget();

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
    device::PixmanImage image;
    // Whether any pixel is partly transparent (opaque bitmaps are copied, not blended).
    bool hasAlpha = true;

    // Where a big, partly transparent bitmap has pixels at all: for each band of kBand
    // rows, the runs of kBand-wide tiles that are not wholly transparent. Drawing
    // blends only those (a dial is mostly empty space).
    static constexpr int kBand = 16;
    // Not one pixel shows (a "blank" image): drawing it does nothing.
    bool invisible = false;
    // A turned copy could not be made for want of memory and that has been logged; later
    // failures of this bitmap are not logged again.
    mutable bool turnFailureTold = false;
    struct Run {
        int y0, y1, x0, x1;
    };
    std::vector<Run> runs;
    bool hasRuns = false;
    void FindRuns();

    // The bitmap turned by a quarter, a half and three quarters counter-clockwise, made
    // on first use: quarter turns then blend like unturned bitmaps, pixel for pixel.
    const BitmapData& Turned(int quarters) const;

    // The bitmap turned by `degree` (not a quarter turn) about `pivot`, filtered, with
    // (offsetX, offsetY) from the point the pivot lands on to its top-left corner. The
    // last two turns are kept: a needle left alone is turned once, not every frame.
    const BitmapData& TurnedAbout(int degree, int pivotX, int pivotY, int& offsetX, int& offsetY) const;

private:
    std::uint64_t m_charged = 0;
    mutable std::shared_ptr<BitmapData> m_turned[3];
    struct TurnCache {
        int degree = 0;
        int pivotX = 0;
        int pivotY = 0;
        int offsetX = 0;
        int offsetY = 0;
        std::shared_ptr<BitmapData> image;
    };
    mutable TurnCache m_turnCache[2];
};

// Makes bitmap data of `format` from premultiplied a8r8g8b8 pixels (RGB565 drops alpha
// over black, as the phone's 16-bit surfaces do).
std::shared_ptr<BitmapData> MakeBitmapData(int width, int height, const std::uint32_t* argb,
                                           Osp::Graphics::BitmapPixelFormat format, std::string name);

} // namespace graphics
