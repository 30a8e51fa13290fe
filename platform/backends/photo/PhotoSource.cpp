// The photo camera: the core's image decoder reads the file, the shared cover drawing places it,
// and the last frame is kept because a still picture only changes when the aim or size does.
#include "PhotoSource.h"

#include "ExifOrientation.h"

#include "codec/ImageCodec.h"

#include <cstring>
#include <new>
#include <utility>

namespace photo {

PhotoSource::PhotoSource(std::string path) : m_path(std::move(path)) {}

std::string PhotoSource::Describe() const
{
    const std::size_t slash = m_path.find_last_of('/');
    return "photo " + (slash == std::string::npos ? m_path : m_path.substr(slash + 1));
}

bool PhotoSource::Open(std::string& reason)
{
    Close();
    codec::DecodedImage image;
    if (!codec::DecodeImageFile(m_path, image, reason, {}, codec::Recognise::ByContent)) return false;
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != std::size_t(image.width) * std::size_t(image.height)) {
        reason = "the decoded picture is empty";
        return false;
    }
    if (image.width > picture::kMaxPictureSide || image.height > picture::kMaxPictureSide) {
        reason = "the picture is too large (more than " + std::to_string(picture::kMaxPictureSide) + " pixels a side)";
        return false;
    }
    // A phone's photo says which way it stands; it is shown standing so.
    const char* format = codec::PictureFormatOf(m_path);
    if (format && (std::string(format) == "JPEG" || std::string(format) == "PNG") &&
        !ApplyOrientation(image.pixels, image.width, image.height, ExifOrientationOf(m_path))) {
        reason = "out of memory";
        return false;
    }
    // The decoder gives premultiplied colour, which is already the picture laid over black;
    // drawing ignores the alpha byte, so see-through parts come out black as on a screen.
    m_width = image.width;
    m_height = image.height;
    m_picture = std::move(image.pixels);
    m_drawer.SetPicture({m_picture.data(), m_width, m_height, m_width * 4, 1.0});
    m_open = true;
    return true;
}

void PhotoSource::Close()
{
    m_open = false;
    m_drawer.SetPicture({});
    m_width = m_height = 0;
    m_picture.clear();
    m_picture.shrink_to_fit();
    m_lastFrame.clear();
    m_lastFrame.shrink_to_fit();
    m_lastWidth = m_lastHeight = 0;
    m_drawn = false;
}

void PhotoSource::SetAim(const device::Aim& aim) { m_aim = aim; }

bool PhotoSource::SeePicture(std::int64_t, const std::function<void(const device::PixelView&)>& look)
{
    if (!m_open || m_width <= 0 || m_height <= 0) return false;
    look({m_picture.data(), m_width, m_height, m_width * 4});
    return true;
}

bool PhotoSource::Render(std::int64_t, const device::PixelView& out, std::string& reason)
{
    if (!picture::CheckFrame(out, reason)) return false;
    if (out.width <= 0 || out.height <= 0) return true;
    if (!m_open) {
        reason = "the photo is not open";
        return false;
    }

    const std::size_t rowBytes = std::size_t(out.width) * 4;
    if (out.width == m_lastWidth && out.height == m_lastHeight && m_aim == m_lastAim) {
        for (int y = 0; y < out.height; ++y)
            std::memcpy(out.Row(y), &m_lastFrame[std::size_t(y) * out.width], rowBytes);
        NoteDrawn(out);
        return true;
    }

    m_drawn = false;
    if (!m_drawer.Draw(out, m_aim, reason)) return false;
    NoteDrawn(out);

    m_lastWidth = m_lastHeight = 0;
    try {
        m_lastFrame.resize(std::size_t(out.width) * std::size_t(out.height));
    } catch (const std::bad_alloc&) {
        // Without the copy every frame is simply drawn afresh.
        m_lastFrame.clear();
        return true;
    }
    for (int y = 0; y < out.height; ++y) std::memcpy(&m_lastFrame[std::size_t(y) * out.width], out.Row(y), rowBytes);
    m_lastWidth = out.width;
    m_lastHeight = out.height;
    m_lastAim = m_aim;
    return true;
}

bool PhotoSource::RenderDetail(std::int64_t, const device::PixelView& out, double centerX, double centerY, double scale,
                               std::string& reason)
{
    if (!m_open) {
        reason = "the photo is not open";
        return false;
    }
    return m_drawer.DrawDetail(out, centerX, centerY, scale, reason);
}

void PhotoSource::NoteDrawn(const device::PixelView& out)
{
    m_drawn = true;
    m_drawnWidth = out.width;
    m_drawnHeight = out.height;
    m_drawnAim = m_aim;
}

bool PhotoSource::Update(std::int64_t timeUs, const device::PixelView& out, device::PixelRect& changed,
                         std::string& reason)
{
    changed = {};
    // The frame already shows the photo as aimed: nothing to draw.
    if (m_open && m_drawn && out.width == m_drawnWidth && out.height == m_drawnHeight && m_aim == m_drawnAim)
        return true;
    if (!Render(timeUs, out, reason)) return false;
    changed = {0, 0, out.width, out.height};
    return true;
}

} // namespace photo
