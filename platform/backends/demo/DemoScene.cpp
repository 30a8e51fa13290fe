// The demo scene as a camera source: the still part drawn once per output size and kept,
// the watch drawn over a copy of it each frame, and the corners it offers to measure.
#include "DemoScene.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "SceneGeometry.h"
#include "device/Aiming.h"

namespace demo {

using namespace scene;

namespace {

// Scene pixel centres map onto output pixel centres; the scene covers the output at zoom 1
// with the aimed point at the output's centre, as photos are framed.
void SceneToOutput(cairo_t* cr, int width, int height, const device::Aim& aim)
{
    const device::FrameSize scene{DemoScene::kSceneWidth, DemoScene::kSceneHeight};
    const double s = device::CoverScale(scene, {width, height}) * aim.zoom;
    cairo_translate(cr, width / 2.0, height / 2.0);
    cairo_scale(cr, s, s);
    cairo_translate(cr, -aim.centerX * scene.width, -aim.centerY * scene.height);
    cairo_translate(cr, 0.5, 0.5);
}

// Device time as seconds within twelve hours, positive even before the device started.
double SecondsOf(std::int64_t timeUs)
{
    constexpr std::int64_t kPeriod = 12LL * 3600 * 1000000;
    std::int64_t r = timeUs % kPeriod;
    if (r < 0) r += kPeriod;
    return r / 1e6;
}

} // namespace

const std::vector<KnownAngle>& DemoScene::KnownAngles()
{
    static const std::vector<KnownAngle> angles = [] {
        const Geometry& g = Geo();
        Pt hl = g.LeftHeel(), hr = g.RightHeel();
        double tieLength = hr.x - hl.x;
        return std::vector<KnownAngle>{
            {"roof truss ridge", g.apex.x, g.apex.y, g.RightRafterDeg(), g.LeftRafterDeg(),
             g.LeftRafterDeg() - g.RightRafterDeg(), g.rafterLength},
            {"set square 60 degree corner", g.squareCorner.x, g.squareCorner.y, g.squareHypDeg, g.squareLegDeg,
             g.squareLegDeg - g.squareHypDeg, g.squareShortLeg},
            {"roof truss left heel", hl.x, hl.y, 360.0 - g.pitchDeg, 0.0, g.pitchDeg,
             std::min(g.rafterLength, tieLength)},
            {"roof truss right heel", hr.x, hr.y, 180.0, 180.0 + g.pitchDeg, g.pitchDeg,
             std::min(g.rafterLength, tieLength)},
        };
    }();
    return angles;
}

DemoScene::Rect DemoScene::MovingArea()
{
    double r = kWatchFace + 1.0;
    return {kWatchCentre.x - r, kWatchCentre.y - r, 2 * r, 2 * r};
}

std::string DemoScene::Describe() const { return "demo scene"; }

bool DemoScene::Open(std::string&) { return true; }

void DemoScene::Close()
{
    m_still.clear();
    m_still.shrink_to_fit();
    m_cachedWidth = m_cachedHeight = 0;
    m_drawnBeat = -1;
}

void DemoScene::SetAim(const device::Aim& aim) { m_aim = device::ClampAim(aim); }

bool DemoScene::CheckOutput(const device::PixelView& out, std::string& reason)
{
    if (out.pixels == nullptr) {
        reason = "output view has no pixels";
        return false;
    }
    if (out.stride < 0 || std::int64_t(out.stride) < std::int64_t(out.width) * 4 || out.stride % 4 != 0) {
        reason = "output rows overlap or are misaligned";
        return false;
    }
    return true;
}

bool DemoScene::StillIsCurrent(const device::PixelView& out) const
{
    return out.width == m_cachedWidth && out.height == m_cachedHeight && m_aim == m_cachedAim;
}

bool DemoScene::DrawStill(const device::PixelView& out, std::string& reason)
{
    m_cachedWidth = m_cachedHeight = 0;
    try {
        m_still.assign(std::size_t(out.width) * std::size_t(out.height), 0u);
    } catch (const std::bad_alloc&) {
        m_still.clear();
        reason = "out of memory for a " + std::to_string(out.width) + "x" + std::to_string(out.height) + " picture";
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(m_still.data()), CAIRO_FORMAT_ARGB32, out.width, out.height, out.width * 4);
    cairo_t* cr = cairo_create(surface);
    // Past the scene's edge the camera sees nothing.
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    SceneToOutput(cr, out.width, out.height, m_aim);
    cairo_rectangle(cr, -0.5, -0.5, kSceneWidth, kSceneHeight);
    cairo_clip(cr);
    DrawScene(cr, Layer::Still, 0.0);
    cairo_status_t status = cairo_status(cr);

    // The moving part's bounds in output pixels, rounded outwards.
    Rect m = MovingArea();
    double xs[2] = {m.x - 0.5, m.x + m.width + 0.5}, ys[2] = {m.y - 0.5, m.y + m.height + 0.5};
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (double x : xs)
        for (double y : ys) {
            double dx = x, dy = y;
            cairo_user_to_device(cr, &dx, &dy);
            x0 = std::min(x0, dx), x1 = std::max(x1, dx), y0 = std::min(y0, dy), y1 = std::max(y1, dy);
        }
    const int mx0 = std::clamp(int(std::floor(x0)) - 1, 0, out.width);
    const int mx1 = std::clamp(int(std::ceil(x1)) + 1, 0, out.width);
    const int my0 = std::clamp(int(std::floor(y0)) - 1, 0, out.height);
    const int my1 = std::clamp(int(std::ceil(y1)) + 1, 0, out.height);
    m_moving = {mx0, my0, mx1 - mx0, my1 - my0};

    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        m_still.clear();
        reason = std::string("cannot draw the demo scene: ") + cairo_status_to_string(status);
        return false;
    }
    m_cachedWidth = out.width;
    m_cachedHeight = out.height;
    m_cachedAim = m_aim;
    return true;
}

void DemoScene::CopyStill(const device::PixelView& out, const device::PixelRect& part) const
{
    for (int y = part.y; y < part.y + part.height; ++y)
        std::memcpy(out.Row(y) + part.x, &m_still[std::size_t(y) * out.width + part.x], std::size_t(part.width) * 4);
}

void DemoScene::DrawMoving(std::int64_t beat, const device::PixelView& out)
{
    m_drawnBeat = beat;
    if (m_moving.Empty()) return;
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(out.pixels), CAIRO_FORMAT_ARGB32, out.width, out.height, out.stride);
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, m_moving.x, m_moving.y, m_moving.width, m_moving.height);
    cairo_clip(cr);
    SceneToOutput(cr, out.width, out.height, m_cachedAim);
    DrawScene(cr, Layer::Moving, double(beat) / kBeatsPerSecond);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

std::int64_t DemoScene::BeatAt(std::int64_t timeUs)
{
    return std::int64_t(std::floor(SecondsOf(timeUs) * kBeatsPerSecond));
}

bool DemoScene::SeePicture(std::int64_t timeUs, const std::function<void(const device::PixelView&)>& look)
{
    // A scene of its own, so this frame's cache and aim stay as they are.
    DemoScene unaimed;
    std::vector<std::uint32_t> pixels(std::size_t(kSceneWidth) * kSceneHeight);
    const device::PixelView view{pixels.data(), kSceneWidth, kSceneHeight, kSceneWidth * 4};
    std::string reason;
    if (!unaimed.Render(timeUs, view, reason)) {
        return false;
    }
    look(view);
    return true;
}

bool DemoScene::RenderDetail(std::int64_t timeUs, const device::PixelView& out, double centerX, double centerY,
                             double scale, std::string& reason)
{
    if (out.width <= 0 || out.height <= 0) return true;
    if (!CheckOutput(out, reason)) return false;
    scale = std::isfinite(scale) ? std::clamp(scale, 1.0 / 64, 256.0) : 1.0;
    centerX = std::isfinite(centerX) ? std::clamp(centerX, -1.0, 2.0) : 0.5;
    centerY = std::isfinite(centerY) ? std::clamp(centerY, -1.0, 2.0) : 0.5;
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(out.pixels), CAIRO_FORMAT_ARGB32, out.width, out.height, out.stride);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_translate(cr, out.width / 2.0, out.height / 2.0);
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, -centerX * kSceneWidth + 0.5, -centerY * kSceneHeight + 0.5);
    cairo_rectangle(cr, -0.5, -0.5, kSceneWidth, kSceneHeight);
    cairo_clip(cr);
    DrawScene(cr, Layer::Still, 0.0);
    DrawScene(cr, Layer::Moving, double(BeatAt(timeUs)) / kBeatsPerSecond);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        reason = std::string("cannot draw the demo scene: ") + cairo_status_to_string(status);
        return false;
    }
    return true;
}

bool DemoScene::Render(std::int64_t timeUs, const device::PixelView& out, std::string& reason)
{
    if (out.width <= 0 || out.height <= 0) return true;
    if (!CheckOutput(out, reason)) return false;
    if (!StillIsCurrent(out) && !DrawStill(out, reason)) return false;
    CopyStill(out, {0, 0, out.width, out.height});
    DrawMoving(BeatAt(timeUs), out);
    return true;
}

bool DemoScene::Update(std::int64_t timeUs, const device::PixelView& out, device::PixelRect& changed,
                       std::string& reason)
{
    changed = {};
    if (out.width <= 0 || out.height <= 0) return true;
    if (!StillIsCurrent(out)) {
        if (!Render(timeUs, out, reason)) return false;
        changed = {0, 0, out.width, out.height};
        return true;
    }
    if (!CheckOutput(out, reason)) return false;
    // Between two beats of the watch the scene stands still.
    const std::int64_t beat = BeatAt(timeUs);
    if (beat == m_drawnBeat) return true;
    CopyStill(out, m_moving);
    DrawMoving(beat, out);
    changed = m_moving;
    return true;
}

} // namespace demo