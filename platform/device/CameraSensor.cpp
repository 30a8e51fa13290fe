// The camera sensor: sources are opened lazily and replaced once by the fallback when
// they cannot open or fail mid-run; frames of another size are scaled with pixman.
#include "device/CameraSensor.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include <pixman.h>

#include "device/Device.h"
#include "device/Holding.h"
#include "device/PixmanImage.h"

namespace device {

CameraSensor::CameraSensor(Device& device) : m_device(device)
{
    if (device.Config().cameraSource) {
        m_pSource = device.Config().cameraSource();
    }
}

CameraSensor::~CameraSensor()
{
    if (m_pSource && m_opened) {
        m_pSource->Close();
    }
}

void CameraSensor::SetSource(std::unique_ptr<CameraSource> source)
{
    if (m_pSource && m_opened) {
        m_pSource->Close();
    }
    m_pSource = std::move(source);
    m_opened = false;
    m_lastValid = false;
    m_lastPictureUs.reset();
    ++m_generation;
}

int CameraSensor::WatchPictures(PictureWatch watch)
{
    const int id = m_nextWatch++;
    m_pictureWatches.emplace(id, std::move(watch));
    return id;
}

void CameraSensor::UnwatchPictures(int id) { m_pictureWatches.erase(id); }

void CameraSensor::TellPictures() const
{
    // A watcher may unwatch (itself or another) while it is told: each is told from a copy.
    const auto watches = m_pictureWatches;
    for (const auto& [id, watch] : watches) {
        watch();
    }
}

bool CameraSensor::SwitchToFallback(const std::string& why)
{
    const std::string name = m_pSource ? m_pSource->Describe() : std::string("camera");
    if (m_pSource && m_opened) {
        m_pSource->Close();
    }
    m_pSource.reset();
    m_opened = false;
    m_lastValid = false;
    ++m_generation;
    const bool first = !m_triedFallback;
    m_triedFallback = true;
    if (first && m_device.Config().fallbackCameraSource) {
        m_pSource = m_device.Config().fallbackCameraSource();
        std::string reason;
        if (m_pSource && m_pSource->Open(reason)) {
            m_opened = true;
            m_pSource->SetAim(SourceAim());
            m_device.Tell(__func__, __LINE__,
                          "camera: " + name + ": " + why + "; using the " + m_pSource->Describe() + " instead");
            return true;
        }
        m_pSource.reset();
    }
    m_device.Tell(__func__, __LINE__, "camera: " + name + ": " + why + "; the camera shows nothing");
    return false;
}

bool CameraSensor::EnsureSource()
{
    if (m_opened) {
        return true;
    }
    if (!m_pSource) {
        if (m_triedFallback) {
            return false;
        }
        return SwitchToFallback("no camera source");
    }
    std::string reason;
    if (m_pSource->Open(reason)) {
        m_opened = true;
        m_pSource->SetAim(SourceAim());
        return true;
    }
    return SwitchToFallback("cannot open: " + reason);
}

bool CameraSensor::Play(Playback what, std::string& reason)
{
    if (!EnsureSource() || !m_pSource) {
        reason = "the camera shows nothing";
        return false;
    }
    // The next capture draws the whole frame, whatever the source thinks changed.
    m_lastValid = false;
    return m_pSource->Play(what, reason);
}

bool CameraSensor::ShowFrame(std::int64_t index, std::string& reason)
{
    if (!EnsureSource() || !m_pSource) {
        reason = "the camera shows nothing";
        return false;
    }
    m_lastValid = false;
    return m_pSource->ShowFrame(index, reason);
}

std::optional<FrameTime> CameraSensor::ShownFrame() const
{
    return m_pSource && m_opened ? m_pSource->ShownFrame() : std::nullopt;
}

const std::vector<FrameSize>& CameraSensor::PreviewSizes()
{
    static const std::vector<FrameSize> sizes = {{320, 240}, {640, 480}, {800, 480}};
    return sizes;
}

// Sources draw at whatever size they are asked for, so by default they offer the sensor's.
std::vector<FrameSize> CameraSource::Resolutions() const { return CameraSensor::PreviewSizes(); }

std::vector<FrameSize> CameraSensor::Resolutions()
{
    if (!EnsureSource()) {
        return {};
    }
    return m_pSource->Resolutions();
}

void CameraSensor::SetHeldTurns(std::optional<int> turns)
{
    m_heldTurns = turns ? std::optional<int>(NormalTurns(*turns)) : std::nullopt;
}

int CameraSensor::HeldTurns() const
{
    return m_heldTurns ? *m_heldTurns : QuarterTurnsForPitch(m_device.Tilt().Pitch());
}

void CameraSensor::SetPictureTurns(int turns)
{
    turns = NormalTurns(turns);
    if (turns == m_pictureTurns) {
        return;
    }
    // The picture point at the frame's centre stays there; the picture turns about it.
    const PointD sourceCentre{SourceAim().centerX, SourceAim().centerY};
    m_pictureTurns = turns;
    const PointD seen = TurnPoint(sourceCentre, {1, 1}, m_pictureTurns);
    SetAim(Aim{m_aim.zoom, seen.x, seen.y});
}

Aim CameraSensor::SourceAim() const
{
    const PointD c = TurnPoint({m_aim.centerX, m_aim.centerY}, {1, 1}, -m_pictureTurns);
    return Aim{m_aim.zoom, c.x, c.y};
}

void CameraSensor::SetAim(const Aim& aim)
{
    m_aim = ClampAim(aim);
    if (m_pSource) {
        m_pSource->SetAim(SourceAim());
    }
}

void CameraSensor::AimAt(double zoom, PointD picturePoint, PointD framePoint, FrameSize frame)
{
    EnsureSource();
    // The user sees the frame turned by the holding; the aim is over what the user sees.
    const int held = HeldTurns();
    SetAim(AimPointAt(zoom, PictureSize(), TurnedFrame(frame, held), picturePoint, TurnPoint(framePoint, frame, held)));
}

FrameSize CameraSensor::PictureSize() const
{
    return m_pSource && m_opened ? TurnedFrame(m_pSource->PictureSize(), m_pictureTurns) : FrameSize{};
}

bool CameraSensor::RenderDetail(Micros now, const PixelView& out, PointD picturePoint, double scale)
{
    if (!out.pixels || out.width <= 0 || out.height <= 0 || !m_opened || !m_pSource) {
        return false;
    }
    const int turns = m_pictureTurns;
    const PointD sourcePoint = TurnPoint(picturePoint, {1, 1}, -turns);
    std::string reason;
    if (turns == 0) {
        return m_pSource->RenderDetail(now, out, sourcePoint.x, sourcePoint.y, scale, reason);
    }
    // Drawn as the source stands, then turned as the user sees the picture.
    const FrameSize drawn = TurnedFrame({out.width, out.height}, -turns);
    try {
        m_detail.resize(static_cast<size_t>(drawn.width) * drawn.height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const PixelView view{m_detail.data(), drawn.width, drawn.height, drawn.width * 4};
    if (!m_pSource->RenderDetail(now, view, sourcePoint.x, sourcePoint.y, scale, reason)) {
        return false;
    }
    const PixmanImage src(pixman_image_create_bits(PIXMAN_x8r8g8b8, view.width, view.height, view.pixels, view.stride));
    const PixmanImage dst(pixman_image_create_bits(PIXMAN_a8r8g8b8, out.width, out.height, out.pixels, out.stride));
    const FrameSize outSize{out.width, out.height};
    const PointD o = TurnPoint({0, 0}, outSize, -turns), ex = TurnPoint({1, 0}, outSize, -turns),
                 ey = TurnPoint({0, 1}, outSize, -turns);
    SetReadingMap(src.get(), o, ex, ey);
    pixman_image_set_filter(src.get(), PIXMAN_FILTER_NEAREST, nullptr, 0);
    pixman_image_composite32(PIXMAN_OP_SRC, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0, out.width, out.height);
    return true;
}

bool CameraSensor::Capture(Micros now, FrameSize frameSize, const PixelView& target)
{
    PixelRect changed;
    const bool took = Take(now, frameSize, target, false, changed);
    if (took && !changed.Empty()) {
        TellPictures();
    }
    return took;
}

bool CameraSensor::CaptureChanges(Micros now, FrameSize frameSize, const PixelView& target, PixelRect& changed)
{
    const bool took = Take(now, frameSize, target, true, changed);
    if (took && !changed.Empty()) {
        TellPictures();
    }
    return took;
}

bool CameraSensor::Take(Micros now, FrameSize frameSize, const PixelView& target, bool targetHoldsLast,
                        PixelRect& changed)
{
    changed = {};
    ++m_framesProduced;
    if (!target.pixels || target.width <= 0 || target.height <= 0 || !EnsureSource()) {
        return false;
    }
    // Only the last capture's target, at the same frame size and by the same source, holds
    // what the source drew last (in the scaled case the sensor's own buffer holds it).
    // The source draws upright, turned by the picture's turns; the frame holds that turned
    // back by the holding, as a camera fixed in the phone sees it.
    const int turns = NormalTurns(m_pictureTurns - HeldTurns());
    const bool sameAsLast = targetHoldsLast && m_lastValid && m_lastTarget.pixels == target.pixels &&
                            m_lastTarget.width == target.width && m_lastTarget.height == target.height &&
                            m_lastTarget.stride == target.stride && m_lastFrameSize == frameSize &&
                            m_lastTurns == turns;
    m_lastValid = false;
    // An upright frame as big as the target is rendered straight into it; any other is
    // rendered into the sensor's own buffer, then turned and scaled to cover the target.
    const bool direct = turns == 0 && frameSize.width == target.width && frameSize.height == target.height;
    const FrameSize drawnSize = TurnedFrame(frameSize, turns);
    PixelView view;
    if (direct) {
        view = target;
    } else {
        try {
            m_frame.resize(static_cast<size_t>(drawnSize.width) * drawnSize.height);
        } catch (const std::bad_alloc&) {
            // The target keeps its last picture; told once, not at every frame.
            if (!m_frameFailureTold) {
                m_frameFailureTold = true;
                m_device.Notice(__func__, __LINE__,
                                "camera: no memory for a " + std::to_string(frameSize.width) + "x" +
                                    std::to_string(frameSize.height) + " frame; the picture stands still");
            }
            return false;
        }
        view = {m_frame.data(), drawnSize.width, drawnSize.height, drawnSize.width * 4};
    }
    std::string reason;
    const PixelRect whole{0, 0, view.width, view.height};
    PixelRect drawn = whole;
    const bool drew = sameAsLast ? m_pSource->Update(now, view, drawn, reason) : m_pSource->Render(now, view, reason);
    if (!drew) {
        if (!SwitchToFallback("failed: " + reason) || !m_pSource->Render(now, view, reason)) {
            return false;
        }
        drawn = whole;
    }
    drawn = drawn.Intersected(whole);
    m_lastValid = true;
    m_lastPictureUs = now;
    m_lastTarget = target;
    m_lastFrameSize = frameSize;
    m_lastTurns = turns;
    if (direct) {
        changed = drawn;
        return true;
    }
    changed = drawn.Empty() ? PixelRect{} : PixelRect{0, 0, target.width, target.height};
    if (!drawn.Empty()) {
        const PixmanImage src(
            pixman_image_create_bits(PIXMAN_x8r8g8b8, view.width, view.height, view.pixels, view.stride));
        // Read as having no alpha, written with an opaque one: the target's picture stays opaque.
        const PixmanImage dst(
            pixman_image_create_bits(PIXMAN_a8r8g8b8, target.width, target.height, target.pixels, target.stride));
        // A target point, scaled to the frame (covering the target, centred), then turned
        // back onto the picture the source drew.
        const double scale = std::max(double(target.width) / frameSize.width, double(target.height) / frameSize.height);
        const double offX = (frameSize.width * scale - target.width) / 2;
        const double offY = (frameSize.height * scale - target.height) / 2;
        const auto toDrawn = [&](double x, double y) {
            return TurnPoint({(x + offX) / scale, (y + offY) / scale}, frameSize, -turns);
        };
        const PointD o = toDrawn(0, 0), ex = toDrawn(1, 0), ey = toDrawn(0, 1);
        SetReadingMap(src.get(), o, ex, ey);
        pixman_image_set_filter(src.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
        pixman_image_set_repeat(src.get(), PIXMAN_REPEAT_PAD);
        pixman_image_composite32(PIXMAN_OP_SRC, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0, target.width,
                                 target.height);
    }
    return true;
}

} // namespace device
