// Osp::Media::Image: decodes image files, "/Res/" ones from the application's resource
// folder, into bitmaps of the pixel format asked for.
#include "osp/Media.h"

#include "base/Log.h"
#include "base/Trace.h"
#include "codec/ImageCodec.h"
#include "device/Device.h"
#include "graphics/BitmapData.h"
#include "graphics/ImageBudget.h"

#include <memory>
#include <new>

namespace Osp { namespace Media {

using namespace Osp::Base;
using namespace Osp::Graphics;

result Image::Construct()
{
    if (m_constructed) {
        return E_INVALID_STATE;
    }
    m_constructed = true;
    return E_SUCCESS;
}

namespace {
Bitmap* TracedDecode(const std::string& path, BitmapPixelFormat format, Bitmap* bitmap)
{
    if (trace::Enabled()) {
        trace::Event e;
        e.name = "Image::DecodeN";
        e.args = {{"path", trace::Quote(path)},
                  {"format", trace::Quote(format == BITMAP_PIXEL_FORMAT_RGB565     ? "RGB565"
                                          : format == BITMAP_PIXEL_FORMAT_ARGB8888 ? "ARGB8888"
                                                                                   : "other")},
                  {"decoded", trace::Bool(bitmap != nullptr)}};
        trace::Emit(std::move(e));
    }
    return bitmap;
}
} // namespace

Bitmap* Image::DecodeN(const String& srcImagePath, BitmapPixelFormat pixelFormat) const
{
    const std::string name = srcImagePath.ToUtf8();
    return TracedDecode(name, pixelFormat, Decode(name, pixelFormat));
}

Bitmap* Image::Decode(const std::string& name, BitmapPixelFormat pixelFormat) const
{
    if (pixelFormat != BITMAP_PIXEL_FORMAT_RGB565 && pixelFormat != BITMAP_PIXEL_FORMAT_ARGB8888) {
        OSP_PLATFORM_LOG("image: cannot decode " + name + ": unsupported pixel format");
        return nullptr;
    }
    device::Device* dev = device::Device::Current();
    const std::string path = dev ? dev->ResolvePath(name) : name;

    // Short of memory the image is refused like a broken one: one line, no bitmap.
    try {
        std::string reason;
        // The budget is asked from the file's header, before a pixel is allocated.
        codec::Limits limits;
        const int bytesPerPixel = pixelFormat == BITMAP_PIXEL_FORMAT_RGB565 ? 2 : 4;
        limits.accept = [bytesPerPixel](int width, int height, std::string& why) {
            return graphics::ImageFitsBudget(width, height, bytesPerPixel, why);
        };
        codec::DecodedImage decoded;
        if (!codec::DecodeImageFile(path, decoded, reason, limits)) {
            OSP_PLATFORM_LOG("image: cannot decode " + path + ": " + reason);
            return nullptr;
        }
        const auto slash = name.find_last_of('/');
        auto data = graphics::MakeBitmapData(decoded.width, decoded.height, decoded.pixels.data(), pixelFormat,
                                             slash == std::string::npos ? name : name.substr(slash + 1));
        if (data && !data->ChargeToImageBudget()) {
            graphics::ImageFitsBudget(decoded.width, decoded.height, bytesPerPixel, reason);
            OSP_PLATFORM_LOG("image: cannot decode " + path + ": " + reason);
            return nullptr;
        }
        if (data) {
            auto bitmap = std::make_unique<Bitmap>();
            bitmap->SetData(std::move(data));
            return bitmap.release();
        }
    } catch (const std::bad_alloc&) {}
    OSP_PLATFORM_LOG("image: cannot decode " + path + ": out of memory");
    return nullptr;
}

}} // namespace Osp::Media
