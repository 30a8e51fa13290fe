// The photo camera: the core's image decoder reads the file, the shared cover drawing places it,
// and the last frame is kept because a still picture only changes when the aim or size does.
#include "PhotoSource.h"

#include "codec/ImageCodec.h"

#include <cstring>
#include <new>
#include <utility>

namespace photo {

PhotoSource::PhotoSource(std::string path) : path_(std::move(path)) {}

std::string PhotoSource::Describe() const
{
    const std::size_t slash = path_.find_last_of('/');
    return "photo " + (slash == std::string::npos ? path_ : path_.substr(slash + 1));
}

bool PhotoSource::Open(std::string& reason)
{
    Close();
    codec::DecodedImage image;
    if (!codec::DecodeImageFile(path_, image, reason))
        return false;
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != std::size_t(image.width) * std::size_t(image.height)) {
        reason = "the decoded picture is empty";
        return false;
    }
    if (image.width > picture::kMaxPictureSide || image.height > picture::kMaxPictureSide) {
        reason = "the picture is too large (more than " + std::to_string(picture::kMaxPictureSide) + " pixels a side)";
        return false;
    }
    // The decoder gives premultiplied colour, which is already the picture laid over black;
    // drawing ignores the alpha byte, so see-through parts come out black as on a screen.
    width_ = image.width;
    height_ = image.height;
    picture_ = std::move(image.pixels);
    drawer_.SetPicture({picture_.data(), width_, height_, width_ * 4, 1.0});
    open_ = true;
    return true;
}

void PhotoSource::Close()
{
    open_ = false;
    drawer_.SetPicture({});
    width_ = height_ = 0;
    picture_.clear();
    picture_.shrink_to_fit();
    lastFrame_.clear();
    lastFrame_.shrink_to_fit();
    lastWidth_ = lastHeight_ = 0;
}

std::vector<device::FrameSize> PhotoSource::Resolutions() const { return {{320, 240}, {640, 480}, {800, 480}}; }

void PhotoSource::SetAim(const device::Aim& aim) { aim_ = aim; }

bool PhotoSource::Render(std::int64_t, const device::PixelView& out, std::string& reason)
{
    if (!picture::CheckFrame(out, reason))
        return false;
    if (out.width <= 0 || out.height <= 0)
        return true;
    if (!open_) {
        reason = "the photo is not open";
        return false;
    }

    const std::size_t rowBytes = std::size_t(out.width) * 4;
    if (out.width == lastWidth_ && out.height == lastHeight_ && aim_ == lastAim_) {
        for (int y = 0; y < out.height; ++y)
            std::memcpy(out.Row(y), &lastFrame_[std::size_t(y) * out.width], rowBytes);
        return true;
    }

    if (!drawer_.Draw(out, aim_, reason))
        return false;

    lastWidth_ = lastHeight_ = 0;
    try {
        lastFrame_.resize(std::size_t(out.width) * std::size_t(out.height));
    } catch (const std::bad_alloc&) {
        // Without the copy every frame is simply drawn afresh.
        lastFrame_.clear();
        return true;
    }
    for (int y = 0; y < out.height; ++y)
        std::memcpy(&lastFrame_[std::size_t(y) * out.width], out.Row(y), rowBytes);
    lastWidth_ = out.width;
    lastHeight_ = out.height;
    lastAim_ = aim_;
    return true;
}

} // namespace photo
