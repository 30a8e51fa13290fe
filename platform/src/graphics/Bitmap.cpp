// Osp::Graphics::Bitmap and its shared pixel data.
#include "graphics/BitmapData.h"

#include <algorithm>
#include <atomic>

namespace graphics {

BitmapData::BitmapData(int w, int h, Osp::Graphics::BitmapPixelFormat fmt, std::string resourceName)
    : width(w), height(h), format(fmt), name(std::move(resourceName))
{
    const bool rgb565 = fmt == Osp::Graphics::BITMAP_PIXEL_FORMAT_RGB565;
    stride = ((w * (rgb565 ? 2 : 4)) + 3) & ~3;
    bytes.assign(static_cast<size_t>(stride) * h, 0);
    image = pixman_image_create_bits(rgb565 ? PIXMAN_r5g6b5 : PIXMAN_a8r8g8b8, w, h,
                                     reinterpret_cast<std::uint32_t*>(bytes.data()), stride);
    hasAlpha = !rgb565;
}

BitmapData::~BitmapData()
{
    if (image) {
        pixman_image_unref(image);
    }
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
                if (quarters == 1) { u = width - 1 - j; v = i; }
                if (quarters == 2) { u = width - 1 - i; v = height - 1 - j; }
                if (quarters == 3) { u = j; v = height - 1 - i; }
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
    auto data = std::make_shared<graphics::BitmapData>(dim.width, dim.height, format, std::string());
    if (!data->image) {
        return E_OUT_OF_MEMORY;
    }
    m_data = std::move(data);
    return E_SUCCESS;
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
