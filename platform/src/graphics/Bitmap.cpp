// Osp::Graphics::Bitmap and its shared pixel data.
#include "device/Geometry.h"
#include "graphics/BitmapData.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>

#include "base/Log.h"
#include "graphics/ImageBudget.h"

namespace graphics {

BitmapData::BitmapData(int w, int h, Osp::Graphics::BitmapPixelFormat fmt, std::string resourceName)
    : width(w), height(h), format(fmt), name(std::move(resourceName))
{
    const bool rgb565 = fmt == Osp::Graphics::BITMAP_PIXEL_FORMAT_RGB565;
    stride = ((w * (rgb565 ? 2 : 4)) + 3) & ~3;
    bytes.assign(static_cast<size_t>(stride) * h, 0);
    image = device::PixmanImage(pixman_image_create_bits(rgb565 ? PIXMAN_r5g6b5 : PIXMAN_a8r8g8b8, w, h,
                                                         reinterpret_cast<std::uint32_t*>(bytes.data()), stride));
    hasAlpha = !rgb565;
}

BitmapData::~BitmapData()
{
    if (m_charged) {
        ReleaseImageBytes(m_charged);
    }
}

bool BitmapData::ChargeToImageBudget()
{
    if (m_charged || !ChargeImageBytes(bytes.size())) {
        return m_charged != 0;
    }
    m_charged = bytes.size();
    return true;
}

void BitmapData::FindRuns()
{
    runs.clear();
    hasRuns = false;
    if (format != Osp::Graphics::BITMAP_PIXEL_FORMAT_ARGB8888 || !hasAlpha || width * height < 128 * 128) {
        return;
    }
    const int tilesX = (width + kBand - 1) / kBand;
    std::vector<bool> used(static_cast<size_t>(tilesX));
    for (int y0 = 0; y0 < height; y0 += kBand) {
        const int y1 = std::min(height, y0 + kBand);
        std::fill(used.begin(), used.end(), false);
        for (int y = y0; y < y1; y++) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(bytes.data() + static_cast<size_t>(y) * stride);
            for (int x = 0; x < width; x++) {
                if (row[x] >> 24) {
                    used[static_cast<size_t>(x / kBand)] = true;
                }
            }
        }
        for (int t = 0; t < tilesX;) {
            if (!used[static_cast<size_t>(t)]) {
                t++;
                continue;
            }
            int end = t;
            while (end < tilesX && used[static_cast<size_t>(end)]) {
                end++;
            }
            runs.push_back({y0, y1, t * kBand, std::min(width, end * kBand)});
            t = end;
        }
    }
    hasRuns = true;
}

const BitmapData& BitmapData::Turned(int quarters) const
{
    quarters = ((quarters % 4) + 4) % 4;
    if (quarters == 0) {
        return *this;
    }
    auto& slot = m_turned[quarters - 1];
    if (!slot) {
        const bool swap = quarters != 2;
        const int w = swap ? height : width;
        const int h = swap ? width : height;
        auto t = std::make_shared<BitmapData>(w, h, format, name);
        const bool rgb565 = format == Osp::Graphics::BITMAP_PIXEL_FORMAT_RGB565;
        for (int j = 0; j < h; j++) {
            for (int i = 0; i < w; i++) {
                // Where pixel (i, j) of the turned bitmap comes from.
                int u = 0, v = 0;
                if (quarters == 1) {
                    u = width - 1 - j;
                    v = i;
                }
                if (quarters == 2) {
                    u = width - 1 - i;
                    v = height - 1 - j;
                }
                if (quarters == 3) {
                    u = j;
                    v = height - 1 - i;
                }
                const std::uint8_t* src = bytes.data() + static_cast<size_t>(v) * stride;
                std::uint8_t* dst = t->bytes.data() + static_cast<size_t>(j) * t->stride;
                if (rgb565) {
                    reinterpret_cast<std::uint16_t*>(dst)[i] = reinterpret_cast<const std::uint16_t*>(src)[u];
                } else {
                    reinterpret_cast<std::uint32_t*>(dst)[i] = reinterpret_cast<const std::uint32_t*>(src)[u];
                }
            }
        }
        t->hasAlpha = hasAlpha;
        t->invisible = invisible;
        t->FindRuns();
        slot = std::move(t);
    }
    return *slot;
}

const BitmapData& BitmapData::TurnedAbout(int degree, int pivotX, int pivotY, int& offsetX, int& offsetY) const
{
    for (auto& c : m_turnCache) {
        if (c.image && c.degree == degree && c.pivotX == pivotX && c.pivotY == pivotY) {
            offsetX = c.offsetX;
            offsetY = c.offsetY;
            return *c.image;
        }
    }
    const double rad = device::Rad(degree);
    const double co = std::cos(rad);
    const double si = std::sin(rad);
    // A bitmap offset (u, w) from the pivot lands at (u*c + w*s, -u*s + w*c) from the
    // point: counter-clockwise on a screen whose y grows downward. Pixel centres are
    // matched, so the pivot's pixel sits on the point's pixel. Here the point's pixel
    // centre is at (0.5, 0.5).
    const double pcx = pivotX + 0.5;
    const double pcy = pivotY + 0.5;
    double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
    double corner[4][2];
    const double box[4][2] = {{0, 0}, {double(width), 0}, {double(width), double(height)}, {0, double(height)}};
    for (int i = 0; i < 4; i++) {
        const double u = box[i][0] - pcx;
        const double w = box[i][1] - pcy;
        corner[i][0] = 0.5 + u * co + w * si;
        corner[i][1] = 0.5 - u * si + w * co;
        minX = std::min(minX, corner[i][0]);
        maxX = std::max(maxX, corner[i][0]);
        minY = std::min(minY, corner[i][1]);
        maxY = std::max(maxY, corner[i][1]);
    }
    // One pixel of margin for the filter's soft edge.
    const int x0 = static_cast<int>(std::floor(minX)) - 1;
    const int y0 = static_cast<int>(std::floor(minY)) - 1;
    const int w = static_cast<int>(std::ceil(maxX)) + 1 - x0;
    const int h = static_cast<int>(std::ceil(maxY)) + 1 - y0;
    auto turned = std::make_shared<BitmapData>(w, h, Osp::Graphics::BITMAP_PIXEL_FORMAT_ARGB8888, name);
    // Every allocation happens before this bitmap's transform is set: running out of memory
    // must not leave it drawing turned.
    turned->runs.reserve(static_cast<size_t>((h + kBand - 1) / kBand));
    if (!turned->image) {
        throw std::bad_alloc();
    }
    // Turned pixel (i, j) sits at (x0 + i, y0 + j) from the point; back in the bitmap:
    // u = dx*c - dy*s, w = dx*s + dy*c around the pivot.
    const double cx = 0.5 - x0;
    const double cy = 0.5 - y0;
    pixman_transform_t t;
    t.matrix[0][0] = pixman_double_to_fixed(co);
    t.matrix[0][1] = pixman_double_to_fixed(-si);
    t.matrix[0][2] = pixman_double_to_fixed(-co * cx + si * cy + pcx);
    t.matrix[1][0] = pixman_double_to_fixed(si);
    t.matrix[1][1] = pixman_double_to_fixed(co);
    t.matrix[1][2] = pixman_double_to_fixed(-si * cx - co * cy + pcy);
    t.matrix[2][0] = 0;
    t.matrix[2][1] = 0;
    t.matrix[2][2] = pixman_fixed_1;
    pixman_image_set_transform(image.get(), &t);
    pixman_image_set_filter(image.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
    // The turned bitmap covers a slanted rectangle, and for a long thin needle most of
    // its bounding box is empty: it is filtered in bands of rows, each only as wide as
    // the rectangle is there, so the work follows the needle's own pixels.
    // The bands are also where the turned bitmap has pixels, so they are its runs.
    constexpr int kBandRows = kBand;
    turned->runs.clear();
    for (int by = 0; by < h; by += kBandRows) {
        const double b0 = y0 + by, b1 = y0 + std::min(by + kBandRows, h);
        double lo = 1e18, hi = -1e18;
        for (int i = 0; i < 4; i++) {
            const double* p = corner[i];
            const double* q = corner[(i + 1) % 4];
            const double ya = std::max(b0, std::min(p[1], q[1]));
            const double yb = std::min(b1, std::max(p[1], q[1]));
            if (ya > yb) {
                continue;
            }
            const double dy = q[1] - p[1];
            for (double yy : {ya, yb}) {
                const double xx = std::abs(dy) < 1e-9 ? std::min(p[0], q[0]) : p[0] + (q[0] - p[0]) * (yy - p[1]) / dy;
                const double x2 = std::abs(dy) < 1e-9 ? std::max(p[0], q[0]) : xx;
                lo = std::min(lo, xx);
                hi = std::max(hi, x2);
            }
        }
        if (lo > hi) {
            continue;
        }
        const int bx0 = std::max(0, static_cast<int>(std::floor(lo)) - 1 - x0);
        const int bx1 = std::min(w, static_cast<int>(std::ceil(hi)) + 1 - x0);
        if (bx1 > bx0) {
            const int bh = std::min(kBandRows, h - by);
            pixman_image_composite32(PIXMAN_OP_SRC, image.get(), nullptr, turned->image.get(), bx0, by, 0, 0, bx0, by,
                                     bx1 - bx0, bh);
            turned->runs.push_back({by, by + bh, bx0, bx1});
        }
    }
    turned->hasRuns = true;
    pixman_image_set_transform(image.get(), nullptr);
    pixman_image_set_filter(image.get(), PIXMAN_FILTER_NEAREST, nullptr, 0);
    turned->hasAlpha = true;
    turned->invisible = invisible;

    // The older of the two entries makes way.
    m_turnCache[1] = std::move(m_turnCache[0]);
    m_turnCache[0] = {degree, pivotX, pivotY, x0, y0, std::move(turned)};
    offsetX = x0;
    offsetY = y0;
    return *m_turnCache[0].image;
}

std::shared_ptr<BitmapData> MakeBitmapData(int width, int height, const std::uint32_t* argb,
                                           Osp::Graphics::BitmapPixelFormat format, std::string name)
{
    auto data = std::make_shared<BitmapData>(width, height, format, std::move(name));
    if (!data->image) {
        return nullptr;
    }
    bool anyAlpha = false;
    bool anyShown = false;
    for (int y = 0; y < height; y++) {
        const std::uint32_t* src = argb + static_cast<size_t>(y) * width;
        std::uint8_t* row = data->Bytes() + static_cast<size_t>(y) * data->Stride();
        if (format == Osp::Graphics::BITMAP_PIXEL_FORMAT_RGB565) {
            auto* dst = reinterpret_cast<std::uint16_t*>(row);
            for (int x = 0; x < width; x++) {
                const std::uint32_t p = src[x];
                // Premultiplied colour is the colour over black.
                dst[x] = static_cast<std::uint16_t>(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F));
            }
        } else {
            auto* dst = reinterpret_cast<std::uint32_t*>(row);
            for (int x = 0; x < width; x++) {
                dst[x] = src[x];
                anyAlpha |= (src[x] >> 24) != 0xFF;
                anyShown |= (src[x] >> 24) != 0;
            }
        }
    }
    if (format != Osp::Graphics::BITMAP_PIXEL_FORMAT_RGB565) {
        data->hasAlpha = anyAlpha;
        data->invisible = !anyShown;
    }
    data->FindRuns();
    return data;
}

} // namespace graphics

namespace Osp { namespace Graphics {

using namespace Osp::Base;

namespace {
std::atomic<long> g_liveBitmaps{0};
}

Bitmap::Bitmap() { ++g_liveBitmaps; }
Bitmap::~Bitmap() { --g_liveBitmaps; }
long Bitmap::GetLiveCount() { return g_liveBitmaps.load(); }

result Bitmap::Construct(const Dimension& dim, BitmapPixelFormat format)
{
    if (m_data) {
        return E_INVALID_STATE;
    }
    if (dim.width <= 0 || dim.height <= 0 || dim.width > 8192 || dim.height > 8192 ||
        (format != BITMAP_PIXEL_FORMAT_RGB565 && format != BITMAP_PIXEL_FORMAT_ARGB8888)) {
        return E_INVALID_ARG;
    }
    try {
        auto data = std::make_shared<graphics::BitmapData>(dim.width, dim.height, format, std::string());
        if (data->image) {
            m_data = std::move(data);
            return E_SUCCESS;
        }
    } catch (const std::bad_alloc&) {}
    OSP_PLATFORM_LOG("bitmap: cannot make a " + std::to_string(dim.width) + "x" + std::to_string(dim.height) +
                     " bitmap: out of memory");
    return E_OUT_OF_MEMORY;
}

int Bitmap::GetWidth() const { return m_data ? m_data->width : 0; }
int Bitmap::GetHeight() const { return m_data ? m_data->height : 0; }
BitmapPixelFormat Bitmap::GetPixelColorFormat() const { return m_data ? m_data->format : BITMAP_PIXEL_FORMAT_MIN; }

const Color Color::COLOR_BLACK(0, 0, 0);
const Color Color::COLOR_WHITE(0xFF, 0xFF, 0xFF);
const Color Color::COLOR_RED(0xFF, 0, 0);
const Color Color::COLOR_GREEN(0, 0xFF, 0);
const Color Color::COLOR_BLUE(0, 0, 0xFF);

}} // namespace Osp::Graphics
