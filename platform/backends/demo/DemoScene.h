// The camera source a new user sees first: a workbench from above with a roof-truss model and
// a set square whose corners sit under the two dials' centres, so there is something to measure.
#pragma once

#include "device/CameraSource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// A corner drawn in the scene whose angle is known exactly.
//
// Coordinates are scene pixels of the 800x480 frame, with whole numbers at pixel centres:
// a vertex at (400, 469) is the middle of pixel column 400, row 469.
//
// Edge directions are screen degrees: 0 points right, angles grow counter-clockwise as
// seen on screen (90 points up, 180 left, 270 down), always in [0, 360).
// The object lies in the sweep that turns counter-clockwise from edge1Deg to edge2Deg,
// and angleDeg is that sweep: (edge2Deg - edge1Deg) modulo 360.
//
// Readings on the two dials follow from the edge directions:
//   landscape dial (0 = left, 90 = up, 180 = right): 180 - direction
//   portrait dial (0 = down, 90 = left, 180 = up, 270 = right): (270 - direction) mod 360
struct KnownAngle {
    const char* name;
    double vertexX, vertexY;
    double edge1Deg, edge2Deg;
    double angleDeg;
    // How far each edge runs straight and clear from the vertex, in scene pixels.
    double edgeLength;
};

class DemoScene final : public device::CameraSource {
public:
    static constexpr int kSceneWidth = 800;
    static constexpr int kSceneHeight = 480;

    // The corners worth measuring. The first lies at the landscape dial's centre (400, 469)
    // with both edges in the upper half; the second at the portrait dial's centre (399, 239).
    static const std::vector<KnownAngle>& KnownAngles();

    // The part of the scene that changes over time (the watch), in scene coordinates;
    // everything outside it is pixel-identical in every frame of one size.
    struct Rect {
        double x, y, width, height;
    };
    static Rect MovingArea();

    std::string Describe() const override;
    bool Open(std::string& reason) override;
    void Close() override;

    // The scene is scaled to cover the whole output about the aimed point (centred when not
    // aimed); anything sticking out is cropped, and where the output reaches past the
    // scene it is black. Fails only for an output view that cannot be written safely (no
    // pixels, rows overlapping or misaligned); an empty view is filled trivially.
    // Not thread-safe: the still part is cached per output size.
    bool Render(std::int64_t timeUs, const device::PixelView& out, std::string& reason) override;
    // Only the watch moves, and only when it beats: between beats nothing is drawn.
    bool Update(std::int64_t timeUs, const device::PixelView& out, device::PixelRect& changed,
                std::string& reason) override;
    // Aimed like a photo: the scene is drawn anew (sharp at any zoom) when the aim changes.
    void SetAim(const device::Aim& aim) override;
    // Drawn afresh, sharp at any magnification.
    bool RenderDetail(std::int64_t timeUs, const device::PixelView& out, double centerX, double centerY, double scale,
                      std::string& reason) override;
    device::FrameSize PictureSize() const override { return {kSceneWidth, kSceneHeight}; }
    // The scene unaimed at its own 800x480, as it is at `timeUs`.
    bool SeePicture(std::int64_t timeUs, const std::function<void(const device::PixelView&)>& look) override;

    // The watch's balance beats eight times a second; its hands step with it.
    static constexpr int kBeatsPerSecond = 8;

private:
    static bool CheckOutput(const device::PixelView& out, std::string& reason);
    static std::int64_t BeatAt(std::int64_t timeUs);
    bool StillIsCurrent(const device::PixelView& out) const;
    bool DrawStill(const device::PixelView& out, std::string& reason);
    void CopyStill(const device::PixelView& out, const device::PixelRect& part) const;
    void DrawMoving(std::int64_t beat, const device::PixelView& out);

    device::Aim m_aim;
    // The still part of the scene drawn once for the current output size and aim, rows packed.
    device::Aim m_cachedAim;
    int m_cachedWidth = 0;
    int m_cachedHeight = 0;
    std::vector<std::uint32_t> m_still;
    // Bounds of the moving part in output pixels, clipped to the output.
    device::PixelRect m_moving;
    // The watch's beat in the last frame drawn.
    std::int64_t m_drawnBeat = -1;
};

} // namespace demo
