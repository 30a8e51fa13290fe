// The simulated phone and the events it sends the application: the life cycle,
// termination from any thread, and the run that a driver or a script steers.
#include "device/Device.h"

#include <algorithm>
#include <atomic>

#include "device/CameraHardware.h"
#include "device/Screen.h"
#include "device/TiltSensor.h"
#include "device/TouchRouter.h"
#include "osp/App.h"
#include "ui/OverlayBuffer.h"

namespace device {

namespace {
std::atomic<Device*> g_current{nullptr};
} // namespace

Device::Device(DeviceConfig config)
    : m_config(std::move(config)),
      m_pLoop(std::make_unique<EventLoop>(m_config.clock)),
      m_pTilt(std::make_unique<TiltSensor>(m_config.initialPitch)),
      m_pScreen(std::make_unique<Screen>(*this)),
      m_pTouch(std::make_unique<TouchRouter>(*this))
{
    m_pCamera = std::make_unique<CameraHardware>(*this);
    g_current.store(this);
}

Device::~Device()
{
    Device* self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

Device* Device::Current()
{
    return g_current.load();
}

std::string Device::ResolvePath(const std::string& path) const
{
    static const std::string prefix = "/Res/";
    if (path.compare(0, prefix.size(), prefix) != 0) {
        return path;
    }
    std::string dir = m_config.resDir.empty() ? std::string("Res") : m_config.resDir;
    if (dir.back() != '/') {
        dir += '/';
    }
    return dir + path.substr(prefix.size());
}

void Device::PostBackground()
{
    m_pLoop->Post([this] {
        m_background = true;
        // A finger on the screen when the application leaves is lifted for it.
        m_pTouch->Cancel();
        if (m_pApp) {
            m_pApp->OnBackground();
        }
    });
}

void Device::PostForeground()
{
    m_pLoop->Post([this] {
        m_background = false;
        if (m_pApp) {
            m_pApp->OnForeground();
        }
    });
}

void Device::PostLowMemory()
{
    m_pLoop->Post([this] {
        if (m_pApp) {
            m_pApp->OnLowMemory();
        }
    });
}

void Device::PostBatteryLevel(Osp::System::BatteryLevel level)
{
    m_pLoop->Post([this, level] {
        if (m_pApp) {
            m_pApp->OnBatteryLevelChanged(level);
        }
    });
}

void Device::PostTouch(TouchPhase phase, int x, int y)
{
    // No touch screen reports points a million pixels away; keeping them near makes all
    // arithmetic on them safe.
    x = std::clamp(x, -kTouchLimit, kTouchLimit);
    y = std::clamp(y, -kTouchLimit, kTouchLimit);
    m_pLoop->Post([this, phase, x, y] {
        // The screen belongs to another application while this one is in the background.
        if (!m_pApp || m_background) {
            return;
        }
        switch (phase) {
        case TouchPhase::Press: m_pTouch->Press(x, y); break;
        case TouchPhase::Move: m_pTouch->Move(x, y); break;
        case TouchPhase::Release: m_pTouch->Release(x, y); break;
        }
    });
}

void Device::PostPitch(float pitch)
{
    m_pLoop->Post([this, pitch] { m_pTilt->SetPitch(pitch); });
}

void Device::PostAim(const Aim& aim)
{
    m_pLoop->Post([this, aim] { m_pCamera->SetAim(aim); });
}

void Device::RequestTermination()
{
    m_pLoop->Stop();
}

bool Device::RunFor(Micros duration)
{
    return m_pLoop->RunFor(duration);
}

void Device::RegisterOverlay(const std::shared_ptr<ui::OverlayBuffer>& buffer)
{
    for (auto it = m_overlays.begin(); it != m_overlays.end();) {
        it = it->second.expired() ? m_overlays.erase(it) : std::next(it);
    }
    m_overlays[buffer->pixels.data()] = buffer;
}

std::shared_ptr<ui::OverlayBuffer> Device::FindOverlay(const void* pixels) const
{
    auto it = m_overlays.find(pixels);
    return it == m_overlays.end() ? nullptr : it->second.lock();
}

} // namespace device
