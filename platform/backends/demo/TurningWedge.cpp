// The moving wedge: its pose from a few sines of time, its picture drawn pixel by pixel with
// blurred edges (the coverage of each half-plane through the error function) and fixed grain.
#include "demo/TurningWedge.h"

#include <algorithm>
#include <cmath>

#include "device/Geometry.h"
#include "picture/CoverDraw.h"

namespace demo {

namespace {

using device::kPi;

constexpr double kLight = 205, kDark = 55;
constexpr double kBlur = 0.8; // the edges' Gaussian spread, in pixels

double Wave(double seconds, double period, double phase = 0) { return std::sin(2 * kPi * seconds / period + phase); }

} // namespace

WedgePose TurningWedge::PoseAt(std::int64_t timeUs)
{
    const double t = static_cast<double>(timeUs) / 1e6;
    WedgePose p;
    // At most about 80 pixels a second across and 40 up and down: a few pixels a frame.
    p.vertexX = 400 + 130 * Wave(t, 10);
    p.vertexY = 330 + 45 * Wave(t, 7, 1.0);
    p.arm1Deg = 25 + 14 * Wave(t, 8, 0.5);
    p.openingDeg = 80 + 28 * Wave(t, 6);
    return p;
}

bool TurningWedge::Open(std::string&)
{
    m_drawnAt = -1;
    return true;
}

std::vector<std::uint32_t>& TurningWedge::PictureAt(std::int64_t timeUs)
{
    if (timeUs == m_drawnAt && !m_picture.empty()) {
        return m_picture;
    }
    const WedgePose w = PoseAt(timeUs);
    const double a1 = w.arm1Deg * kPi / 180, a2 = (w.arm1Deg + w.openingDeg) * kPi / 180;
    // Inward normals (y downward) of the two half-planes whose overlap is the wedge.
    const double n1x = -std::sin(a1), n1y = -std::cos(a1);
    const double n2x = std::sin(a2), n2y = std::cos(a2);
    const double k = 1.0 / (kBlur * std::sqrt(2.0));
    const double reach = 5 * kBlur + 1;
    const auto cover = [&](double s) { return s > reach ? 1.0 : s < -reach ? 0.0 : 0.5 * (1 + std::erf(s * k)); };
    m_picture.resize(std::size_t(kWidth) * kHeight);
    // The same grain at every frame, as a sensor's fixed pattern: the picture moves, not its noise.
    std::uint32_t state = 0x9e3779b9u;
    for (int y = 0; y < kHeight; y++) {
        const double py = y + 0.5 - w.vertexY;
        for (int x = 0; x < kWidth; x++) {
            const double px = x + 0.5 - w.vertexX;
            const double c = std::min(cover(px * n1x + py * n1y), cover(px * n2x + py * n2y));
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const double grain = static_cast<double>(state % 7) - 3.0;
            const double v = std::clamp(kLight - (kLight - kDark) * c + grain, 0.0, 255.0);
            const std::uint32_t g = static_cast<std::uint32_t>(v + 0.5);
            m_picture[std::size_t(y) * kWidth + x] = 0xff000000u | g << 16 | g << 8 | g;
        }
    }
    m_drawnAt = timeUs;
    return m_picture;
}

bool TurningWedge::Render(std::int64_t timeUs, const device::PixelView& out, std::string& reason)
{
    const std::vector<std::uint32_t>& pixels = PictureAt(timeUs);
    return picture::DrawCovering({pixels.data(), kWidth, kHeight, kWidth * 4}, out, m_aim, reason);
}

bool TurningWedge::SeePicture(std::int64_t timeUs, const std::function<void(const device::PixelView&)>& look)
{
    std::vector<std::uint32_t>& pixels = PictureAt(timeUs);
    look({pixels.data(), kWidth, kHeight, kWidth * 4});
    return true;
}

} // namespace demo
