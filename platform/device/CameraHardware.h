// The phone's camera: one picture source shared by the Camera objects of the
// application, the preview's frame clock, and the copying of frames to the overlay.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/CameraSource.h"
#include "device/EventLoop.h"
#include "osp/Base.h"
#include "osp/Graphics.h"
#include "osp/Media.h"

namespace ui { struct OverlayBuffer; }

namespace device {

class Device;
class CameraUnit;

class CameraHardware {
public:
    explicit CameraHardware(Device& device);
    ~CameraHardware();

    // Opens the source on first use; a source that cannot be opened gives way to the
    // fallback with one log line. False when there is no picture at all.
    bool EnsureSource();
    CameraSource* Source() { return m_pSource.get(); }
    std::vector<FrameSize> Resolutions();
    // Replaces the source (the window's camera menu, tests).
    void SetSource(std::unique_ptr<CameraSource> source);

    // Aims the camera over its picture; the zoom is kept within 1 to 8 and the centre
    // within the picture.
    void SetAim(const Aim& aim);
    const Aim& GetAim() const { return m_aim; }

    // Only one Camera object may hold the camera at a time.
    bool Claim(CameraUnit* unit);
    void Release(CameraUnit* unit);
    CameraUnit* Holder() const { return m_pHolder; }

    // Renders the picture at `now` into `frame` (sized as the preview) and shows it in
    // `target`; a failing source is replaced by the fallback.
    void ProduceFrame(Micros now, FrameSize previewSize, ui::OverlayBuffer* target);
    std::uint64_t FramesProduced() const { return m_framesProduced; }

private:
    bool SwitchToFallback(const std::string& why);

    Device& m_device;
    std::unique_ptr<CameraSource> m_pSource;
    bool m_opened = false;
    bool m_triedFallback = false;
    CameraUnit* m_pHolder = nullptr;
    Aim m_aim;
    std::vector<std::uint32_t> m_frame;
    std::uint64_t m_framesProduced = 0;
};

// What stands behind one Osp::Media::Camera object.
class CameraUnit {
public:
    CameraUnit(Device& device, Osp::Media::ICameraEventListener& listener);
    ~CameraUnit();

    Osp::Base::result PowerOn();
    Osp::Base::result PowerOff();
    bool IsPoweredOn() const { return m_powered; }
    Osp::Base::result StartPreview(const Osp::Graphics::BufferInfo* pBufferInfo, bool report);
    Osp::Base::result StopPreview();
    Osp::Media::CameraState GetState() const { return m_state; }

    Osp::Base::result SetQuality(Osp::Media::CameraQuality quality);
    Osp::Media::CameraQuality GetQuality() const { return m_quality; }
    std::vector<FrameSize> Resolutions();
    Osp::Base::result SetPreviewResolution(FrameSize size);
    FrameSize GetPreviewResolution() const { return m_previewSize; }
    Osp::Base::result SetPreviewFrameRate(int fps);
    int GetPreviewFrameRate() const { return m_fps; }
    Osp::Base::result SetFlash(bool on);
    bool IsFlashOn() const { return m_flash; }

private:
    void ScheduleFrame();
    void OnFrameDue();

    Device& m_device;
    Osp::Media::ICameraEventListener& m_listener;
    bool m_powered = false;
    bool m_report = false;
    bool m_flash = false;
    Osp::Media::CameraState m_state = Osp::Media::CAMERA_STATE_INITIALIZED;
    Osp::Media::CameraQuality m_quality = Osp::Media::CAMERA_QUALITY_NORMAL;
    FrameSize m_previewSize{800, 480};
    int m_fps = 15;
    std::weak_ptr<ui::OverlayBuffer> m_target;
    EventLoop::TimerId m_timer = 0;
    Micros m_previewStart = 0;
    std::int64_t m_frameIndex = 0;
    // The frame's data is not handed out: the picture reaches the screen through the overlay.
    Osp::Base::ByteBuffer m_previewData;
};

} // namespace device
