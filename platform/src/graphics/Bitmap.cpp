// Osp::Graphics::Bitmap and its shared pixel data.
#include "graphics/BitmapData.h"

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

std::shared_ptr<BitmapData> MakeBitmapData(int width, int height, const std::uint32_t* argb,
                                           Osp::Graphics::BitmapPixelFormat format, std::string name)
{
    auto data = std::make_shared<BitmapData>(width, height, format, std::move(name));
    if (!data->image) {
        return nullptr;
    }
    bool anyAlpha = false;
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
            }
        }
    }
    if (format != Osp::Graphics::BITMAP_PIXEL_FORMAT_RGB565) {
        data->hasAlpha = anyAlpha;
    }
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
