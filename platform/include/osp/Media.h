// The Osp::Media namespace: the phone's camera and the image decoder.
#pragma once

#include <memory>
#include <string>

#include "osp/Base.h"
#include "osp/Graphics.h"

namespace media {
class CameraUnit;
}

namespace Osp { namespace Media {

enum CameraSelection {
    CAMERA_PRIMARY = 1,
    CAMERA_SECONDARY = 2,
};

enum CameraState {
    CAMERA_STATE_INITIALIZED = 0,
    CAMERA_STATE_PREVIEW = 1,
    CAMERA_STATE_AUTO_FOCUSING = 2,
    CAMERA_STATE_CAPTURING = 3,
    CAMERA_STATE_CAPTURED = 4,
    CAMERA_STATE_ERROR = 5,
};

enum CameraQuality {
    CAMERA_QUALITY_NORMAL = 0,
    CAMERA_QUALITY_FINE = 1,
    CAMERA_QUALITY_SUPER_FINE = 2,
};

enum CameraErrorReason {
    CAMERA_ERROR_NONE = 0,
    CAMERA_ERROR_OUT_OF_MEMORY,
    CAMERA_ERROR_DEVICE_FAILED,
    CAMERA_ERROR_DEVICE_INTERRUPTED,
};

class ICameraEventListener {
public:
    virtual ~ICameraEventListener() = default;
    virtual void OnCameraAutoFocused(bool completeCondition) = 0;
    virtual void OnCameraPreviewed(Osp::Base::ByteBuffer& previewedData, Osp::Base::result r) = 0;
    virtual void OnCameraCaptured(Osp::Base::ByteBuffer& capturedData, Osp::Base::result r) = 0;
    virtual void OnCameraErrorOccurred(CameraErrorReason r) = 0;
};

class Camera : public Osp::Base::Object {
public:
    Camera();
    // Stops the preview and powers the camera off if the owner has not.
    ~Camera() override;
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    Osp::Base::result Construct(ICameraEventListener& listener, CameraSelection camSel = CAMERA_PRIMARY);
    Osp::Base::result PowerOn();
    Osp::Base::result PowerOff();
    bool IsPoweredOn() const;

    // Starts the preview into the described buffer (null: the one used before). With
    // previewedData set, every frame is also reported to OnCameraPreviewed.
    Osp::Base::result StartPreview(const Osp::Graphics::BufferInfo* pBufferInfo, bool previewedData);
    Osp::Base::result StopPreview();
    CameraState GetState() const;

    Osp::Base::result SetQuality(CameraQuality quality);
    CameraQuality GetQuality() const;
    // A new list of Dimension objects, owned by the caller (delete the elements with
    // RemoveAll(true)); null when the camera offers none.
    Osp::Base::Collection::IList* GetSupportedPreviewResolutionListN() const;
    Osp::Base::result SetPreviewResolution(const Osp::Graphics::Dimension& resolution);
    Osp::Graphics::Dimension GetPreviewResolution() const;
    Osp::Base::result SetPreviewFrameRate(int fps);
    int GetPreviewFrameRate() const;
    Osp::Base::result SetFlash(bool flash);
    bool IsFlashOn() const;

private:
    std::unique_ptr<media::CameraUnit> m_pUnit;
};

class Image : public Osp::Base::Object {
public:
    Image() = default;
    ~Image() override = default;
    Osp::Base::result Construct();
    // A new bitmap owned by the caller, or null (with a log line) when the file is
    // missing or cannot be decoded. "/Res/name" names a file of the application's resources.
    Osp::Graphics::Bitmap* DecodeN(const Osp::Base::String& srcImagePath,
                                   Osp::Graphics::BitmapPixelFormat pixelFormat) const;

private:
    Osp::Graphics::Bitmap* Decode(const std::string& name, Osp::Graphics::BitmapPixelFormat pixelFormat) const;
    bool m_constructed = false;
};

}} // namespace Osp::Media
