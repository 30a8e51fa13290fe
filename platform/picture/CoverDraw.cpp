// Places a picture over a camera frame with pixman: one transform from frame pixels to picture
// pixels, bilinear filtering from a halved copy when shrinking hard, black beyond the edges.
#include "picture/CoverDraw.h"

#include "device/Aiming.h"
#include "device/PixmanImage.h"

#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>

namespace picture {
namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;

device::Aim Sane(const device::Aim& aim)
{
    // The device keeps aims within these bounds already; holding to them here as well keeps
    // the fixed-point transform in range whoever calls.
    return device::ClampAim(aim);
}

bool Malformed(const PictureView& p)
{
    return p.pixels == nullptr || p.width <= 0 || p.height <= 0 || p.stride % 4 != 0 ||
           reinterpret_cast<std::uintptr_t>(p.pixels) % 4 != 0 || std::int64_t(p.stride) < std::int64_t(p.width) * 4;
}

// Averages each 2x2 block into one pixel; an odd last row or column is paired with itself.
void Halve(const PictureView& src, std::vector<std::uint32_t>& dst)
{
    const int w = (src.width + 1) / 2, h = (src.height + 1) / 2;
    dst.resize(std::size_t(w) * std::size_t(h));
    auto row = [&](int y) {
        return reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(src.pixels) +
                                                      std::ptrdiff_t(y) * src.stride);
    };
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* r0 = row(2 * y);
        const std::uint32_t* r1 = row(std::min(2 * y + 1, src.height - 1));
        std::uint32_t* d = &dst[std::size_t(y) * w];
        for (int x = 0; x < w; ++x) {
            const int x0 = 2 * x, x1 = std::min(2 * x + 1, src.width - 1);
            const std::uint32_t a = r0[x0], b = r0[x1], c = r1[x0], e = r1[x1];
            // Red and blue are summed side by side in one word, green in another; ten bits
            // each is room enough for four values and the rounding.
            const std::uint32_t rb =
                (((a & 0xFF00FFu) + (b & 0xFF00FFu) + (c & 0xFF00FFu) + (e & 0xFF00FFu) + 0x20002u) >> 2) & 0xFF00FFu;
            const std::uint32_t g =
                (((a & 0xFF00u) + (b & 0xFF00u) + (c & 0xFF00u) + (e & 0xFF00u) + 0x200u) >> 2) & 0xFF00u;
            d[x] = kBlack | rb | g;
        }
    }
}

// The frame pixels [first, end) along one axis whose centres fall on the picture, given the
// picture coordinate at the frame's edge, the frame pixels per picture pixel and the
// picture's extent.
void CoveredSpan(double origin, double scale, double extent, int frameSize, int& first, int& end)
{
    // Centre of frame pixel i lies at picture coordinate origin + (i + 0.5) / scale.
    const double lo = std::ceil(-origin * scale - 0.5);
    const double hi = std::floor((extent - origin) * scale - 0.5) + 1.0;
    first = int(std::clamp(lo, 0.0, double(frameSize)));
    end = int(std::clamp(hi, double(first), double(frameSize)));
}

void FillBlack(const device::PixelView& out, int x0, int y0, int x1, int y1)
{
    for (int y = y0; y < y1; ++y) std::fill(out.Row(y) + x0, out.Row(y) + x1, kBlack);
}

} // namespace

double DrawnPixelAspect(const PictureView& picture)
{
    const double aspect = picture.pixelAspect;
    return std::isfinite(aspect) && aspect > 0 ? std::clamp(aspect, 1.0 / 16, 16.0) : 1.0;
}

device::FrameSize SeenSize(const PictureView& picture)
{
    const double width = std::max(1.0, std::round(picture.width * DrawnPixelAspect(picture)));
    return {int(width), picture.height};
}

bool CheckFrame(const device::PixelView& out, std::string& reason)
{
    if (out.width <= 0 || out.height <= 0) return true;
    if (out.pixels == nullptr) {
        reason = "output view has no pixels";
        return false;
    }
    if (reinterpret_cast<std::uintptr_t>(out.pixels) % 4 != 0 || out.stride % 4 != 0 ||
        std::int64_t(out.stride) < std::int64_t(out.width) * 4) {
        reason = "output rows overlap or are misaligned";
        return false;
    }
    return true;
}

void CoverDrawer::SetPicture(const PictureView& picture)
{
    m_picture = picture;
    m_halvesBuilt = 0;
    if (picture.pixels == nullptr) {
        m_halves.clear();
        m_halves.shrink_to_fit();
    }
}

bool CoverDrawer::Draw(const device::PixelView& out, const device::Aim& aim, std::string& reason)
{
    if (!CheckFrame(out, reason)) return false;
    if (out.width <= 0 || out.height <= 0) return true;
    if (Malformed(m_picture)) {
        reason = "the picture is empty or malformed";
        return false;
    }
    if (m_picture.width > kMaxPictureSide || m_picture.height > kMaxPictureSide) {
        reason = "the picture is too large (more than " + std::to_string(kMaxPictureSide) + " pixels a side)";
        return false;
    }

    const device::Aim a = Sane(aim);
    const double pixelAspect = DrawnPixelAspect(m_picture);
    // Frame pixels per picture pixel, down.
    const double cover = std::max(out.width / (m_picture.width * pixelAspect), double(out.height) / m_picture.height);
    return DrawAt(out, a.centerX, a.centerY, cover * a.zoom, reason);
}

bool CoverDrawer::DrawDetail(const device::PixelView& out, double centerX, double centerY, double scale,
                             std::string& reason)
{
    if (!CheckFrame(out, reason)) return false;
    if (out.width <= 0 || out.height <= 0) return true;
    if (Malformed(m_picture)) {
        reason = "the picture is empty or malformed";
        return false;
    }
    if (m_picture.width > kMaxPictureSide || m_picture.height > kMaxPictureSide) {
        reason = "the picture is too large (more than " + std::to_string(kMaxPictureSide) + " pixels a side)";
        return false;
    }
    // Within these bounds the fixed-point transform stays in range.
    scale = std::isfinite(scale) ? std::clamp(scale, 1.0 / 64, 256.0) : 1.0;
    centerX = std::isfinite(centerX) ? std::clamp(centerX, -1.0, 2.0) : 0.5;
    centerY = std::isfinite(centerY) ? std::clamp(centerY, -1.0, 2.0) : 0.5;
    return DrawAt(out, centerX, centerY, scale, reason);
}

bool CoverDrawer::DrawAt(const device::PixelView& out, double centerX, double centerY, double fullScaleY,
                         std::string& reason)
{
    const double pixelAspect = DrawnPixelAspect(m_picture);
    const double fullScaleX = fullScaleY * pixelAspect;

    // Halve until no more than two picture pixels fall on a frame pixel.
    const double shrink = std::max(1.0 / fullScaleX, 1.0 / fullScaleY);
    int level = 0;
    while (shrink / std::ldexp(1.0, level) > 2.0 && level < 24) ++level;
    // The picture halved `n` times (0: the picture itself); sizes round up, as Halve's do.
    auto levelView = [this](int n) {
        if (n == 0) return m_picture;
        const int w = (m_picture.width + (1 << n) - 1) >> n, h = (m_picture.height + (1 << n) - 1) >> n;
        return PictureView{m_halves[std::size_t(n - 1)].data(), w, h, w * 4, m_picture.pixelAspect};
    };
    try {
        if (int(m_halves.size()) < level) m_halves.resize(std::size_t(level));
        for (; m_halvesBuilt < level; ++m_halvesBuilt)
            Halve(levelView(m_halvesBuilt), m_halves[std::size_t(m_halvesBuilt)]);
    } catch (const std::bad_alloc&) {
        // Short of memory a coarser drawing from what exists still beats no picture.
        level = m_halvesBuilt;
    }
    const PictureView source = levelView(level);
    // In the halved copy's pixels; a halved odd size has a last pixel only half covered, so
    // the picture's extent is kept exact rather than rounded up to whole pixels.
    const double unit = std::ldexp(1.0, level);
    const double scaleX = fullScaleX * unit, scaleY = fullScaleY * unit;
    const double extentX = m_picture.width / unit, extentY = m_picture.height / unit;
    // The picture coordinates at the frame's top-left corner.
    const double originX = centerX * extentX - out.width / 2.0 / scaleX;
    const double originY = centerY * extentY - out.height / 2.0 / scaleY;

    int x0, x1, y0, y1;
    CoveredSpan(originX, scaleX, extentX, out.width, x0, x1);
    CoveredSpan(originY, scaleY, extentY, out.height, y0, y1);

    if (x1 > x0 && y1 > y0) {
        const device::PixmanImage src(pixman_image_create_bits(
            PIXMAN_x8r8g8b8, source.width, source.height, const_cast<std::uint32_t*>(source.pixels), source.stride));
        const device::PixmanImage dst(
            pixman_image_create_bits(PIXMAN_a8r8g8b8, out.width, out.height, out.pixels, out.stride));
        if (!src || !dst) {
            reason = "the picture or the frame is too large to draw";
            return false;
        }
        pixman_transform_t t;
        pixman_transform_init_identity(&t);
        t.matrix[0][0] = pixman_double_to_fixed(1.0 / scaleX);
        t.matrix[0][2] = pixman_double_to_fixed(originX);
        t.matrix[1][1] = pixman_double_to_fixed(1.0 / scaleY);
        t.matrix[1][2] = pixman_double_to_fixed(originY);
        pixman_image_set_transform(src.get(), &t);
        pixman_image_set_filter(src.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
        // Padding only matters for the half pixel along the picture's border, where bilinear
        // filtering would otherwise blend in transparent black and darken the edge.
        pixman_image_set_repeat(src.get(), PIXMAN_REPEAT_PAD);
        // Source and destination offsets are equal, so the transform sees frame coordinates.
        pixman_image_composite32(PIXMAN_OP_SRC, src.get(), nullptr, dst.get(), x0, y0, 0, 0, x0, y0, x1 - x0, y1 - y0);
    }

    if (x1 <= x0 || y1 <= y0) {
        FillBlack(out, 0, 0, out.width, out.height);
    } else {
        FillBlack(out, 0, 0, out.width, y0);
        FillBlack(out, 0, y1, out.width, out.height);
        FillBlack(out, 0, y0, x0, y1);
        FillBlack(out, x1, y0, out.width, y1);
    }
    return true;
}

bool DrawCovering(const PictureView& picture, const device::PixelView& out, const device::Aim& aim, std::string& reason)
{
    CoverDrawer drawer;
    drawer.SetPicture(picture);
    return drawer.Draw(out, aim, reason);
}

} // namespace picture
