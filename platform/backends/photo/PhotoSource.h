// A camera that looks at one still photo (JPEG or PNG): decoded once when opened, then shown
// scaled to cover each preview frame and aimed like the other sources.
#pragma once

#include "picture/CoverDraw.h"
#include "device/CameraSource.h"

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
    std::vector<device::FrameSize> Resolutions() const override;

    // The photo does not change over time, so a frame of the same size and aim as the last
    // one is copied rather than scaled again. Not thread-safe, like the device that calls it.
    bool Render(std::int64_t timeUs, const device::PixelView& out, std::string& reason) override;
    void SetAim(const device::Aim& aim) override;

private:
    std::string path_;
    bool open_ = false;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> picture_;
    picture::CoverDrawer drawer_;
    device::Aim aim_;

    // The last frame drawn, rows packed, and what it was drawn for.
    std::vector<std::uint32_t> lastFrame_;
    int lastWidth_ = 0;
    int lastHeight_ = 0;
    device::Aim lastAim_;
};

} // namespace photo
