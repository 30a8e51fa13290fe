// Draws a picture scaled to cover a camera frame around the aimed point; photos, videos and
// webcams all go through it so that they frame, crop and zoom exactly alike.
#pragma once

#include "device/CameraSource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace picture {

// An opaque picture: rows of x8r8g8b8 words (the top byte is ignored), `stride` bytes apart.
struct PictureView {
    const std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    // How wide one pixel is seen compared with its height; some video is stored with
    // non-square pixels and would look squashed if drawn one to one.
    double pixelAspect = 1.0;
};

// Pictures are placed with pixman's 16.16 fixed-point coordinates, which end at 32767.
inline constexpr int kMaxPictureSide = 32000;

// How wide one pixel of `picture` is drawn: its claimed aspect held to 1/16..16 (a stream
// may claim anything), 1 when the claim is no positive number.
double DrawnPixelAspect(const PictureView& picture);

// The picture's size as drawn, its width widened by the drawn pixel aspect (rounded, at
// least 1): what aiming measures the picture in, so that it agrees with the drawing.
device::FrameSize SeenSize(const PictureView& picture);

// Whether `out` can be written safely: pixels present, rows 4-byte aligned and not
// overlapping. A view without width or height is valid; there is nothing to draw.
bool CheckFrame(const device::PixelView& out, std::string& reason);

// Draws one picture into frames, as often as asked.
//
// Each frame is covered by the picture scaled just large enough to leave no gap at zoom 1,
// magnified by the aim's zoom, with the aimed point at the frame's centre; where the frame
// reaches past the picture's edge (an aim near the edge) it is black. Filtering is bilinear.
// Bilinear filtering reads only four pixels, so a picture shrunk to less than half its size
// would skip pixels and fine detail would break up into noise: it is drawn instead from a
// copy halved (2x2 averaged) as often as needed. Halves are kept until the picture changes,
// so a still picture is halved once.
class CoverDrawer {
public:
    // The picture's pixels must stay valid and unchanged until the next SetPicture.
    void SetPicture(const PictureView& picture);

    // Output is opaque. Fails, leaving `out` untouched, for an unsafe view or a malformed picture.
    bool Draw(const device::PixelView& out, const device::Aim& aim, std::string& reason);
    // Draws the picture point (centerX, centerY) (fractions) at the middle of `out`, `scale`
    // output pixels to a picture pixel down (across, times the pixel aspect); a loupe's view,
    // at any magnification from 1/64 to 256.
    bool DrawDetail(const device::PixelView& out, double centerX, double centerY, double scale, std::string& reason);

private:
    bool DrawAt(const device::PixelView& out, double centerX, double centerY, double fullScaleY, std::string& reason);

    PictureView m_picture;
    // m_halves[i] is the picture halved i + 1 times, rows packed; built as deep as needed.
    std::vector<std::vector<std::uint32_t>> m_halves;
    int m_halvesBuilt = 0;
};

// Draws `picture` once, as CoverDrawer does.
bool DrawCovering(const PictureView& picture, const device::PixelView& out, const device::Aim& aim,
                  std::string& reason);

} // namespace picture
