// The camera sensor: sources are opened lazily and replaced once by the fallback when
// they cannot open or fail mid-run; frames of another size are scaled with pixman.
#include "device/CameraSensor.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include <pixman.h>

#include "device/Device.h"
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
    const bool first = !m_triedFallback;
    m_triedFallback = true;
    if (first && m_device.Config().fallbackCameraSource) {
        m_pSource = m_device.Config().fallbackCameraSource();
        std::string reason;
        if (m_pSource && m_pSource->Open(reason)) {
            m_opened = true;
            m_pSource->SetAim(m_aim);
            m_device.Tell(__func__, __LINE__, "camera: " + name + ": " + why + "; using the " + m_pSource->Describe() + " instead");
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
        m_pSource->SetAim(m_aim);
        return true;
    }
    return SwitchToFallback("cannot open: " + reason);
}

std::vector<FrameSize> CameraSensor::Resolutions()
{
    if (!EnsureSource()) {
        return {};
    }
    return m_pSource->Resolutions();
}

void CameraSensor::SetAim(const Aim& aim)
{
    m_aim = ClampAim(aim);
    if (m_pSource) {
        m_pSource->SetAim(m_aim);
    }
}

void CameraSensor::AimAt(double zoom, PointD picturePoint, PointD framePoint, FrameSize frame)
{
    EnsureSource();
    SetAim(AimPointAt(zoom, PictureSize(), frame, picturePoint, framePoint));
}

FrameSize CameraSensor::PictureSize() const
{
    return m_pSource && m_opened ? m_pSource->PictureSize() : FrameSize{};
}

bool CameraSensor::Capture(Micros now, FrameSize frameSize, const PixelView& target)
{
    PixelRect changed;
    return Take(now, frameSize, target, false, changed);
}

bool CameraSensor::CaptureChanges(Micros now, FrameSize frameSize, const PixelView& target, PixelRect& changed)
{
    return Take(now, frameSize, target, true, changed);
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
    const bool sameAsLast = targetHoldsLast && m_lastValid && m_lastTarget.pixels == target.pixels &&
                            m_lastTarget.width == target.width && m_lastTarget.height == target.height &&
                            m_lastTarget.stride == target.stride && m_lastFrameSize == frameSize;
    m_lastValid = false;
    // A frame as big as the target is rendered straight into it; any other size is
    // rendered into the sensor's own buffer and scaled to cover the target.
    const bool direct = frameSize.width == target.width && frameSize.height == target.height;
    PixelView view;
    if (direct) {
        view = target;
    } else {
        try {
            m_frame.resize(static_cast<size_t>(frameSize.width) * frameSize.height);
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
        view = {m_frame.data(), frameSize.width, frameSize.height, frameSize.width * 4};
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
    m_lastTarget = target;
    m_lastFrameSize = frameSize;
    if (direct) {
        changed = drawn;
        return true;
    }
    changed = drawn.Empty() ? PixelRect{} : PixelRect{0, 0, target.width, target.height};
    if (!drawn.Empty()) {
        const PixmanImage src(pixman_image_create_bits(PIXMAN_x8r8g8b8, view.width, view.height, view.pixels, view.stride));
        // Read as having no alpha, written with an opaque one: the target's picture stays opaque.
        const PixmanImage dst(pixman_image_create_bits(PIXMAN_a8r8g8b8, target.width, target.height, target.pixels,
                                                       target.stride));
        const double scale = std::max(double(target.width) / view.width, double(target.height) / view.height);
        const double offX = (view.width * scale - target.width) / 2;
        const double offY = (view.height * scale - target.height) / 2;
        pixman_transform_t t;
        pixman_transform_init_identity(&t);
        pixman_transform_scale(&t, nullptr, pixman_double_to_fixed(1 / scale), pixman_double_to_fixed(1 / scale));
        pixman_transform_translate(&t, nullptr, pixman_double_to_fixed(offX / scale), pixman_double_to_fixed(offY / scale));
        pixman_image_set_transform(src.get(), &t);
        pixman_image_set_filter(src.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
        pixman_image_set_repeat(src.get(), PIXMAN_REPEAT_PAD);
        pixman_image_composite32(PIXMAN_OP_SRC, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0, target.width,
                                 target.height);
    }
    return true;
}

} // namespace device
