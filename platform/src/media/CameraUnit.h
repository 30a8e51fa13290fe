// The camera's Osp side: the Camera objects' states and results, the preview's frame
// clock, and the hand-over of frames to the overlay panel they are shown in.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/CameraSensor.h"
#include "device/EventLoop.h"
#include "osp/Base.h"
#include "osp/Graphics.h"
#include "osp/Media.h"

namespace graphics {
struct PreviewBuffer;
}

namespace device {
class Device;
}

namespace media {

class CameraUnit;

// The camera as the platform shares it: which Camera object holds it, and which preview
// buffer its last frame went into.
class CameraService {
public:
    explicit CameraService(device::CameraSensor& sensor) : m_sensor(sensor) {}

    device::CameraSensor& Sensor() { return m_sensor; }

    // Only one Camera object may hold the camera at a time.
    bool Claim(CameraUnit* unit);
    void Release(CameraUnit* unit);
    CameraUnit* Holder() const { return m_pHolder; }

    // Takes the picture at `now` (sized as the preview) and shows it in `target`.
    void ProduceFrame(device::Micros now, device::FrameSize previewSize,
                      const std::shared_ptr<graphics::PreviewBuffer>& target);

private:
    device::CameraSensor& m_sensor;
    CameraUnit* m_pHolder = nullptr;
    // The buffer the last frame went into.
    std::weak_ptr<graphics::PreviewBuffer> m_lastFilled;
};

// What Camera objects need of the platform running on the device: its camera service.
// The platform offers it (see base/Installed.h).
class CameraOwner {
public:
    virtual CameraService& Cameras() = 0;

protected:
    ~CameraOwner() = default;
};

// What stands behind one Osp::Media::Camera object.
class CameraUnit {
public:
    CameraUnit(device::Device& device, CameraService& service, Osp::Media::ICameraEventListener& listener);
    ~CameraUnit();

    Osp::Base::result PowerOn();
    Osp::Base::result PowerOff();
    bool IsPoweredOn() const { return m_powered; }
    Osp::Base::result StartPreview(const Osp::Graphics::BufferInfo* pBufferInfo, bool report);
    Osp::Base::result StopPreview();
    Osp::Media::CameraState GetState() const { return m_state; }

    Osp::Base::result SetQuality(Osp::Media::CameraQuality quality);
    Osp::Media::CameraQuality GetQuality() const { return m_quality; }
    std::vector<device::FrameSize> Resolutions();
    Osp::Base::result SetPreviewResolution(device::FrameSize size);
    device::FrameSize GetPreviewResolution() const { return m_previewSize; }
    Osp::Base::result SetPreviewFrameRate(int fps);
    int GetPreviewFrameRate() const { return m_fps; }
    Osp::Base::result SetFlash(bool on);
    bool IsFlashOn() const { return m_flash; }

private:
    void ScheduleFrame();
    void OnFrameDue();

    device::Device& m_device;
    CameraService& m_service;
    Osp::Media::ICameraEventListener& m_listener;
    bool m_powered = false;
    bool m_report = false;
    bool m_flash = false;
    Osp::Media::CameraState m_state = Osp::Media::CAMERA_STATE_INITIALIZED;
    Osp::Media::CameraQuality m_quality = Osp::Media::CAMERA_QUALITY_NORMAL;
    device::FrameSize m_previewSize{800, 480};
    int m_fps = 15;
    std::weak_ptr<graphics::PreviewBuffer> m_target;
    device::EventLoop::TimerId m_timer = 0;
    device::Micros m_previewStart = 0;
    std::int64_t m_frameIndex = 0;
    // The frame's data is not handed out: the picture reaches the screen through the overlay.
    Osp::Base::ByteBuffer m_previewData;
};

} // namespace media
