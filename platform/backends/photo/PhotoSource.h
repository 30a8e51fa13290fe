// A camera that looks at one still picture (JPEG, PNG, GIF or BMP, known by its content):
// decoded once when opened, then shown
#pragma once

#include "device/CameraSource.h"
#include "picture/CoverDraw.h"

#include <cstdint>
#include <string>
#include <vector>

namespace photo {

class PhotoSource final : public device::CameraSource {
public:
    explicit PhotoSource(std::string path);

    // "photo NAME", NAME being the file's name without its folder.
    std::string Describe() const override;

    // Reads and decodes the file; fails with the decoder's reason ("file not found",
    // "not a JPEG file", ...) and keeps nothing of a previous picture.
    bool Open(std::string& reason) override;
    void Close() override;

    // The photo does not change over time, so a frame of the same size and aim as the last
    // one is copied rather than scaled again. Not thread-safe, like the device that calls it.
    bool Render(std::int64_t timeUs, const device::PixelView& out, std::string& reason) override;
    // A photo stands still: a frame already showing it at the same aim stays as it is.
    bool Update(std::int64_t timeUs, const device::PixelView& out, device::PixelRect& changed,
                std::string& reason) override;
    void SetAim(const device::Aim& aim) override;
    bool RenderDetail(std::int64_t timeUs, const device::PixelView& out, double centerX, double centerY, double scale,
                      std::string& reason) override;
    device::FrameSize PictureSize() const override { return {m_width, m_height}; }
    // The decoded photo itself, not a copy.
    bool SeePicture(std::int64_t timeUs, const std::function<void(const device::PixelView&)>& look) override;

private:
    void NoteDrawn(const device::PixelView& out);

    std::string m_path;
    bool m_open = false;
    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint32_t> m_picture;
    picture::CoverDrawer m_drawer;
    device::Aim m_aim;

    // The last frame drawn, rows packed, and what it was drawn for.
    std::vector<std::uint32_t> m_lastFrame;
    int m_lastWidth = 0;
    int m_lastHeight = 0;
    device::Aim m_lastAim;
    // What the frame last drawn shows (whether or not it could be kept).
    bool m_drawn = false;
    int m_drawnWidth = 0;
    int m_drawnHeight = 0;
    device::Aim m_drawnAim;
};

} // namespace photo
