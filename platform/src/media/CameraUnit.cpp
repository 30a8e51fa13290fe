// The camera's states: a preview runs on the device's clock at its frame rate, each frame
// taken by the sensor into the overlay panel's background, then reported.
#include "media/CameraUnit.h"

#include <algorithm>

#include "base/Log.h"
#include "device/Device.h"
#include "graphics/PreviewBuffer.h"

using namespace Osp::Base;
using namespace Osp::Media;

namespace media {

bool CameraService::Claim(CameraUnit* unit)
{
    if (m_pHolder && m_pHolder != unit) {
        return false;
    }
    m_pHolder = unit;
    return true;
}

void CameraService::Release(CameraUnit* unit)
{
    if (m_pHolder == unit) {
        m_pHolder = nullptr;
    }
}

void CameraService::ProduceFrame(device::Micros now, device::FrameSize previewSize,
                                 const std::shared_ptr<graphics::PreviewBuffer>& target)
{
    device::PixelView view;
    if (target && target->width > 0 && target->height > 0) {
        view = {target->pixels.data(), target->width, target->height, target->width * 4};
    }
    // Only the buffer filled last still holds the sensor's last picture (a buffer made
    // since may sit at the same address, so it is known by its owner, not its pixels).
    const bool sameBuffer =
        target && !m_lastFilled.owner_before(target) && !target.owner_before(m_lastFilled) && !m_lastFilled.expired();
    device::PixelRect changed;
    const bool captured = sameBuffer ? m_sensor.CaptureChanges(now, previewSize, view, changed)
                                     : m_sensor.Capture(now, previewSize, view);
    if (!captured) {
        return;
    }
    if (!sameBuffer) {
        changed = {0, 0, view.width, view.height};
    }
    m_lastFilled = target;
    // A frame showing the same picture changes nothing on screen.
    if (!changed.Empty()) {
        ++target->generation;
        target->changed = target->changed.United(changed);
    }
}

CameraUnit::CameraUnit(device::Device& device, CameraService& service, ICameraEventListener& listener)
    : m_device(device), m_service(service), m_listener(listener)
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
    if (!m_service.Claim(this)) {
        OSP_PLATFORM_LOG("camera: already in use by another Camera object");
        return E_DEVICE_BUSY;
    }
    if (!m_service.Sensor().EnsureSource()) {
        m_service.Release(this);
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
    m_service.Release(this);
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
        m_target = graphics::PreviewBuffers::Find(pBufferInfo->pPixels);
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
    const device::Micros due = m_previewStart + m_frameIndex * device::kMicrosPerSecond / m_fps;
    m_timer = m_device.Loop().PostAt(due, [this] { OnFrameDue(); });
}

void CameraUnit::OnFrameDue()
{
    m_timer = 0;
    if (m_state != CAMERA_STATE_PREVIEW) {
        return;
    }
    auto target = m_target.lock();
    m_service.ProduceFrame(m_device.Now(), m_previewSize, target);
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

std::vector<device::FrameSize> CameraUnit::Resolutions() { return m_service.Sensor().Resolutions(); }

result CameraUnit::SetPreviewResolution(device::FrameSize size)
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

} // namespace media
