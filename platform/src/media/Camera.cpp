// Osp::Media::Camera: the application's handle on the device's camera.
#include "osp/Media.h"

#include "base/Installed.h"
#include "base/Log.h"
#include "base/Trace.h"
#include "media/CameraUnit.h"

namespace Osp { namespace Media {

using namespace Osp::Base;
using namespace Osp::Graphics;

namespace {
// Results are traced too: a script can tell a start that did nothing from one that ran.
result Traced(const char* name, result r, std::vector<std::pair<std::string, std::string>> args = {})
{
    if (trace::Enabled()) {
        trace::Event e;
        e.name = name;
        e.args = std::move(args);
        e.args.emplace_back("result", trace::Quote(GetErrorMessage(r)));
        trace::Emit(std::move(e));
    }
    return r;
}
} // namespace

Camera::Camera() = default;
Camera::~Camera() = default;

result Camera::Construct(ICameraEventListener& listener, CameraSelection camSel)
{
    device::Device* dev = device::Device::Current();
    media::CameraOwner* owner = base::Installed<media::CameraOwner>();
    const std::vector<std::pair<std::string, std::string>> args = {{"camera", trace::Num(camSel)}};
    if (m_pUnit || !dev || !owner) {
        return Traced("Camera::Construct", E_INVALID_STATE, args);
    }
    if (camSel != CAMERA_PRIMARY) {
        OSP_PLATFORM_LOG("camera: this phone has only a primary camera");
        return Traced("Camera::Construct", E_DEVICE_UNAVAILABLE, args);
    }
    m_pUnit = std::make_unique<media::CameraUnit>(*dev, owner->Cameras(), listener);
    return Traced("Camera::Construct", E_SUCCESS, args);
}

result Camera::PowerOn() { return Traced("Camera::PowerOn", m_pUnit ? m_pUnit->PowerOn() : E_INVALID_STATE); }
result Camera::PowerOff() { return Traced("Camera::PowerOff", m_pUnit ? m_pUnit->PowerOff() : E_INVALID_STATE); }
bool Camera::IsPoweredOn() const { return m_pUnit && m_pUnit->IsPoweredOn(); }

result Camera::StartPreview(const BufferInfo* pBufferInfo, bool previewedData)
{
    return Traced("Camera::StartPreview", m_pUnit ? m_pUnit->StartPreview(pBufferInfo, previewedData) : E_INVALID_STATE,
                  {{"bufferInfo", trace::Bool(pBufferInfo != nullptr)}, {"previewedData", trace::Bool(previewedData)}});
}

result Camera::StopPreview()
{
    return Traced("Camera::StopPreview", m_pUnit ? m_pUnit->StopPreview() : E_INVALID_STATE);
}

CameraState Camera::GetState() const { return m_pUnit ? m_pUnit->GetState() : CAMERA_STATE_INITIALIZED; }

result Camera::SetQuality(CameraQuality quality)
{
    return Traced("Camera::SetQuality", m_pUnit ? m_pUnit->SetQuality(quality) : E_INVALID_STATE,
                  {{"quality", trace::Num(quality)}});
}
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
    if (trace::Enabled()) {
        trace::Event e;
        e.name = "Camera::GetSupportedPreviewResolutionListN";
        e.args.emplace_back("count", trace::Num(static_cast<long long>(sizes.size())));
        trace::Emit(std::move(e));
    }
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
    return Traced("Camera::SetPreviewResolution",
                  m_pUnit ? m_pUnit->SetPreviewResolution({resolution.width, resolution.height}) : E_INVALID_STATE,
                  {{"width", trace::Num(resolution.width)}, {"height", trace::Num(resolution.height)}});
}

Dimension Camera::GetPreviewResolution() const
{
    if (!m_pUnit) {
        return Dimension();
    }
    const auto s = m_pUnit->GetPreviewResolution();
    return Dimension(s.width, s.height);
}

result Camera::SetPreviewFrameRate(int fps)
{
    return Traced("Camera::SetPreviewFrameRate", m_pUnit ? m_pUnit->SetPreviewFrameRate(fps) : E_INVALID_STATE,
                  {{"fps", trace::Num(fps)}});
}
int Camera::GetPreviewFrameRate() const { return m_pUnit ? m_pUnit->GetPreviewFrameRate() : 0; }
result Camera::SetFlash(bool flash)
{
    return Traced("Camera::SetFlash", m_pUnit ? m_pUnit->SetFlash(flash) : E_INVALID_STATE,
                  {{"flash", trace::Bool(flash)}});
}
bool Camera::IsFlashOn() const { return m_pUnit && m_pUnit->IsFlashOn(); }

}} // namespace Osp::Media
