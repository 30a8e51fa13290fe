// Osp::Media::Camera: the application's handle on the device's camera.
#include "osp/Media.h"

#include "base/Log.h"
#include "device/CameraHardware.h"
#include "device/Device.h"

namespace Osp { namespace Media {

using namespace Osp::Base;
using namespace Osp::Graphics;

Camera::Camera() = default;
Camera::~Camera() = default;

result Camera::Construct(ICameraEventListener& listener, CameraSelection camSel)
{
    device::Device* dev = device::Device::Current();
    if (m_pUnit || !dev) {
        return E_INVALID_STATE;
    }
    if (camSel != CAMERA_PRIMARY) {
        OSP_PLATFORM_LOG("camera: this phone has only a primary camera");
        return E_DEVICE_UNAVAILABLE;
    }
    m_pUnit = std::make_unique<device::CameraUnit>(*dev, listener);
    return E_SUCCESS;
}

result Camera::PowerOn() { return m_pUnit ? m_pUnit->PowerOn() : E_INVALID_STATE; }
result Camera::PowerOff() { return m_pUnit ? m_pUnit->PowerOff() : E_INVALID_STATE; }
bool Camera::IsPoweredOn() const { return m_pUnit && m_pUnit->IsPoweredOn(); }

result Camera::StartPreview(const BufferInfo* pBufferInfo, bool previewedData)
{
    return m_pUnit ? m_pUnit->StartPreview(pBufferInfo, previewedData) : E_INVALID_STATE;
}

result Camera::StopPreview() { return m_pUnit ? m_pUnit->StopPreview() : E_INVALID_STATE; }

CameraState Camera::GetState() const { return m_pUnit ? m_pUnit->GetState() : CAMERA_STATE_INITIALIZED; }

result Camera::SetQuality(CameraQuality quality) { return m_pUnit ? m_pUnit->SetQuality(quality) : E_INVALID_STATE; }
CameraQuality Camera::GetQuality() const { return m_pUnit ? m_pUnit->GetQuality() : CAMERA_QUALITY_NORMAL; }

namespace {
// The caller deletes the list alone; its elements go with it.
class OwningList : public Collection::ArrayList {
public:
    ~OwningList() override { RemoveAll(true); }
};
} // namespace

Collection::IList* Camera::GetSupportedPreviewResolutionListN() const
{
    if (!m_pUnit) {
        return nullptr;
    }
    const auto sizes = m_pUnit->Resolutions();
    if (sizes.empty()) {
        return nullptr;
    }
    auto* list = new OwningList();
    list->Construct(static_cast<int>(sizes.size()));
    for (const auto& s : sizes) {
        list->Add(*new Dimension(s.width, s.height));
    }
    return list;
}

result Camera::SetPreviewResolution(const Dimension& resolution)
{
    return m_pUnit ? m_pUnit->SetPreviewResolution({resolution.width, resolution.height}) : E_INVALID_STATE;
}

Dimension Camera::GetPreviewResolution() const
{
    if (!m_pUnit) {
        return Dimension();
    }
    const auto s = m_pUnit->GetPreviewResolution();
    return Dimension(s.width, s.height);
}

result Camera::SetPreviewFrameRate(int fps) { return m_pUnit ? m_pUnit->SetPreviewFrameRate(fps) : E_INVALID_STATE; }
int Camera::GetPreviewFrameRate() const { return m_pUnit ? m_pUnit->GetPreviewFrameRate() : 0; }
result Camera::SetFlash(bool flash) { return m_pUnit ? m_pUnit->SetFlash(flash) : E_INVALID_STATE; }
bool Camera::IsFlashOn() const { return m_pUnit && m_pUnit->IsFlashOn(); }

}} // namespace Osp::Media
