// The camera model: a preview runs on the device's clock at its frame rate, each frame
// rendered by the source into the overlay panel's background, then reported.
#include "device/CameraHardware.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <pixman.h>

#include "base/Log.h"
#include "device/Device.h"
#include "ui/OverlayBuffer.h"

using namespace Osp::Base;
using namespace Osp::Media;

namespace device {

CameraHardware::CameraHardware(Device& device) : m_device(device)
{
    if (device.Config().cameraSource) {
        m_pSource = device.Config().cameraSource();
    }
}

CameraHardware::~CameraHardware()
{
    if (m_pSource && m_opened) {
        m_pSource->Close();
    }
}

void CameraHardware::SetSource(std::unique_ptr<CameraSource> source)
{
    if (m_pSource && m_opened) {
        m_pSource->Close();
    }
    m_pSource = std::move(source);
    m_opened = false;
}

bool CameraHardware::SwitchToFallback(const std::string& why)
{
    const std::string name = m_pSource ? m_pSource->Describe() : std::string("camera");
    if (m_pSource && m_opened) {
        m_pSource->Close();
    }
    m_pSource.reset();
    m_opened = false;
    const bool first = !m_triedFallback;
    m_triedFallback = true;
    if (first && m_device.Config().fallbackCameraSource) {
        m_pSource = m_device.Config().fallbackCameraSource();
        std::string reason;
        if (m_pSource && m_pSource->Open(reason)) {
            m_opened = true;
            m_pSource->SetAim(m_aim);
            OSP_PLATFORM_LOG("camera: " + name + ": " + why + "; using the " + m_pSource->Describe() + " instead");
            return true;
        }
        m_pSource.reset();
    }
    OSP_PLATFORM_LOG("camera: " + name + ": " + why + "; the camera shows nothing");
    return false;
}

bool CameraHardware::EnsureSource()
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

std::vector<FrameSize> CameraHardware::Resolutions()
{
    if (!EnsureSource()) {
        return {};
    }
    return m_pSource->Resolutions();
}

void CameraHardware::SetAim(const Aim& aim)
{
    Aim a = aim;
    a.zoom = std::isfinite(a.zoom) ? std::clamp(a.zoom, 1.0, 8.0) : 1.0;
    a.centerX = std::isfinite(a.centerX) ? std::clamp(a.centerX, 0.0, 1.0) : 0.5;
    a.centerY = std::isfinite(a.centerY) ? std::clamp(a.centerY, 0.0, 1.0) : 0.5;
    m_aim = a;
    if (m_pSource) {
        m_pSource->SetAim(m_aim);
    }
}

bool CameraHardware::Claim(CameraUnit* unit)
{
    if (m_pHolder && m_pHolder != unit) {
        return false;
    }
    m_pHolder = unit;
    return true;
}

void CameraHardware::Release(CameraUnit* unit)
{
    if (m_pHolder == unit) {
        m_pHolder = nullptr;
    }
}

void CameraHardware::ProduceFrame(Micros now, FrameSize previewSize, ui::OverlayBuffer* target)
{
    ++m_framesProduced;
    if (!target || target->width <= 0 || target->height <= 0 || !EnsureSource()) {
        return;
    }
    // A frame as big as the panel is rendered straight into it; any other preview size
    // is rendered at its own size and scaled to cover the panel.
    const bool direct = previewSize.width == target->width && previewSize.height == target->height;
    PixelView view;
    if (direct) {
        view = {target->pixels.data(), target->width, target->height, target->width * 4};
    } else {
        m_frame.resize(static_cast<size_t>(previewSize.width) * previewSize.height);
        view = {m_frame.data(), previewSize.width, previewSize.height, previewSize.width * 4};
    }
    std::string reason;
    if (!m_pSource->Render(now, view, reason)) {
        if (!SwitchToFallback("failed: " + reason) || !m_pSource->Render(now, view, reason)) {
            return;
        }
    }
    if (!direct) {
        pixman_image_t* src = pixman_image_create_bits(PIXMAN_x8r8g8b8, view.width, view.height, view.pixels, view.stride);
        // Read as having no alpha, written with an opaque one: the panel's picture stays opaque.
        pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, target->width, target->height,
                                                       target->pixels.data(), target->width * 4);
        const double scale = std::max(double(target->width) / view.width, double(target->height) / view.height);
        const double offX = (view.width * scale - target->width) / 2;
        const double offY = (view.height * scale - target->height) / 2;
        pixman_transform_t t;
        pixman_transform_init_identity(&t);
        pixman_transform_scale(&t, nullptr, pixman_double_to_fixed(1 / scale), pixman_double_to_fixed(1 / scale));
        pixman_transform_translate(&t, nullptr, pixman_double_to_fixed(offX / scale), pixman_double_to_fixed(offY / scale));
        pixman_image_set_transform(src, &t);
        pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
        pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
        pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, target->width, target->height);
        pixman_image_unref(src);
        pixman_image_unref(dst);
    }
    ++target->generation;
}

CameraUnit::CameraUnit(Device& device, ICameraEventListener& listener) : m_device(device), m_listener(listener)
{
    m_previewData.Construct(0);
}

CameraUnit::~CameraUnit()
{
    if (m_state == CAMERA_STATE_PREVIEW) {
        StopPreview();
    }
    if (m_powered) {
        PowerOff();
    }
}

result CameraUnit::PowerOn()
{
    if (m_powered) {
        return E_INVALID_STATE;
    }
    if (!m_device.Camera().Claim(this)) {
        OSP_PLATFORM_LOG("camera: already in use by another Camera object");
        return E_DEVICE_BUSY;
    }
    if (!m_device.Camera().EnsureSource()) {
        m_device.Camera().Release(this);
        return E_DEVICE_UNAVAILABLE;
    }
    m_powered = true;
    return E_SUCCESS;
}

result CameraUnit::PowerOff()
{
    if (!m_powered) {
        return E_INVALID_STATE;
    }
    if (m_state == CAMERA_STATE_PREVIEW) {
        StopPreview();
    }
    m_powered = false;
    m_device.Camera().Release(this);
    return E_SUCCESS;
}

result CameraUnit::StartPreview(const Osp::Graphics::BufferInfo* pBufferInfo, bool report)
{
    if (!m_powered) {
        return E_INVALID_STATE;
    }
    if (m_state == CAMERA_STATE_PREVIEW) {
        // Already running: it runs on unchanged.
        return E_INVALID_STATE;
    }
    // Without buffer information the preview goes where it went before.
    if (pBufferInfo) {
        m_target = m_device.FindOverlay(pBufferInfo->pPixels);
    }
    m_report = report;
    m_state = CAMERA_STATE_PREVIEW;
    m_previewStart = m_device.Now();
    m_frameIndex = 0;
    ScheduleFrame();
    return E_SUCCESS;
}

result CameraUnit::StopPreview()
{
    if (m_state != CAMERA_STATE_PREVIEW) {
        return E_INVALID_STATE;
    }
    m_state = CAMERA_STATE_INITIALIZED;
    m_device.Loop().Cancel(m_timer);
    m_timer = 0;
    return E_SUCCESS;
}

void CameraUnit::ScheduleFrame()
{
    // Frames keep to the rate exactly: frame n is due n/fps seconds after the start.
    ++m_frameIndex;
    const Micros due = m_previewStart + m_frameIndex * kMicrosPerSecond / m_fps;
    m_timer = m_device.Loop().PostAt(due, [this] { OnFrameDue(); });
}

void CameraUnit::OnFrameDue()
{
    m_timer = 0;
    if (m_state != CAMERA_STATE_PREVIEW) {
        return;
    }
    auto target = m_target.lock();
    m_device.Camera().ProduceFrame(m_device.Now(), m_previewSize, target.get());
    // The next frame is booked first, so a StopPreview from the callback cancels it.
    ScheduleFrame();
    if (m_report) {
        m_listener.OnCameraPreviewed(m_previewData, E_SUCCESS);
    }
}

result CameraUnit::SetQuality(CameraQuality quality)
{
    if (quality < CAMERA_QUALITY_NORMAL || quality > CAMERA_QUALITY_SUPER_FINE) {
        return E_OUT_OF_RANGE;
    }
    if (!m_powered) {
        return E_INVALID_STATE;
    }
    m_quality = quality;
    return E_SUCCESS;
}

std::vector<FrameSize> CameraUnit::Resolutions()
{
    return m_device.Camera().Resolutions();
}

result CameraUnit::SetPreviewResolution(FrameSize size)
{
    if (!m_powered) {
        return E_INVALID_STATE;
    }
    const auto sizes = Resolutions();
    if (std::find(sizes.begin(), sizes.end(), size) == sizes.end()) {
        return E_OUT_OF_RANGE;
    }
    m_previewSize = size;
    return E_SUCCESS;
}

result CameraUnit::SetPreviewFrameRate(int fps)
{
    if (fps < 1 || fps > 30) {
        return E_OUT_OF_RANGE;
    }
    if (!m_powered) {
        return E_INVALID_STATE;
    }
    m_fps = fps;
    if (m_state == CAMERA_STATE_PREVIEW) {
        // The new rate counts from now.
        m_device.Loop().Cancel(m_timer);
        m_previewStart = m_device.Now();
        m_frameIndex = 0;
        ScheduleFrame();
    }
    return E_SUCCESS;
}

result CameraUnit::SetFlash(bool on)
{
    if (!m_powered) {
        return E_INVALID_STATE;
    }
    m_flash = on;
    return E_SUCCESS;
}

} // namespace device
