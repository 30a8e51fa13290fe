// The demo scene's moving corner: a dark wedge on a light ground that opens and closes, turns and
// wanders over the picture with time, worked out analytically so its angle is known at every frame.
#pragma once

#include "device/CameraSource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// The wedge at one moment, in continuous pixels of its 800x480 picture. The object lies in the
// sweep that turns counter-clockwise on screen from arm1Deg by openingDeg; both arms stay above
// the level, so it is read on either dial.
struct WedgePose {
    double vertexX = 0, vertexY = 0;
    double arm1Deg = 0;
    double openingDeg = 0;
};

class TurningWedge final : public device::CameraSource {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 480;
    // The name --camera takes for it.
    static constexpr const char* kName = "demo:wedge";

    // Where the wedge is at `timeUs` (device time): periods of a few seconds, a few pixels a frame.
    static WedgePose PoseAt(std::int64_t timeUs);

    std::string Describe() const override { return "moving wedge"; }
    bool Open(std::string& reason) override;
    // Every frame is a new picture: the wedge moves all the time.
    bool Render(std::int64_t timeUs, const device::PixelView& out, std::string& reason) override;
    void SetAim(const device::Aim& aim) override { m_aim = aim; }
    device::FrameSize PictureSize() const override { return {kWidth, kHeight}; }
    bool SeePicture(std::int64_t timeUs, const std::function<void(const device::PixelView&)>& look) override;

private:
    // The picture at `timeUs`, drawn once for each time asked.
    std::vector<std::uint32_t>& PictureAt(std::int64_t timeUs);

    device::Aim m_aim;
    std::vector<std::uint32_t> m_picture;
    std::int64_t m_drawnAt = -1;
};

} // namespace demo
