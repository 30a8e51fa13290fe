// The simulated phone: its parts, the events it posts from any thread onto the event
// loop (touches, tilt, aim, life-cycle signals), and the run a driver steers.
#include "device/Device.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace device {

namespace {
std::atomic<Device*> g_current{nullptr};
} // namespace

Device::Device(DeviceConfig config)
    : m_config(std::move(config)),
      m_pLoop(std::make_unique<EventLoop>(m_config.clock)),
      m_pTilt(std::make_unique<TiltSensor>(*this, m_config.initialPitch))
{
    m_pCamera = std::make_unique<CameraSensor>(*this);
    g_current.store(this);
}

Device::~Device()
{
    // No longer current, so nothing torn down with the system finds the phone and starts
    // it again; then the system goes, before the hardware it holds on to.
    Device* self = this;
    g_current.compare_exchange_strong(self, nullptr);
    m_pSoftware.reset();
}

Device* Device::Current() { return g_current.load(); }

void Device::SetSoftware(std::unique_ptr<Software> software)
{
    m_pSoftware.reset();
    m_pSoftware = std::move(software);
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

void Device::PostSignal(Signal signal, int value)
{
    m_pLoop->Post([this, signal, value] {
        if (m_signalHandler) {
            m_signalHandler(signal, value);
        }
    });
}

void Device::PostTouch(TouchPhase phase, int x, int y)
{
    x = std::clamp(x, -TouchPanel::kLimit, TouchPanel::kLimit);
    y = std::clamp(y, -TouchPanel::kLimit, TouchPanel::kLimit);
    m_pLoop->Post([this, phase, x, y] { m_touch.Deliver(phase, x, y); });
}

void Device::PostPitch(float pitch)
{
    m_pLoop->Post([this, pitch] { m_pTilt->SetPitch(pitch); });
}

void Device::PostAim(const Aim& aim)
{
    m_pLoop->Post([this, aim] { m_pCamera->SetAim(aim); });
}

void Device::PostAimAt(double zoom, double pictureX, double pictureY, double screenX, double screenY)
{
    m_pLoop->Post([this, zoom, pictureX, pictureY, screenX, screenY] {
        // Screen pixels name pixel centres, which lie half a pixel in.
        m_pCamera->AimAt(zoom, {pictureX, pictureY}, {screenX + 0.5, screenY + 0.5},
                         {Display::kLongSide, Display::kShortSide});
    });
}

void Device::PostPictureTurns(int turns)
{
    m_pLoop->Post([this, turns] { m_pCamera->SetPictureTurns(turns); });
}

void Device::RequestTermination() { m_pLoop->Stop(); }

bool Device::RunFor(Micros duration) { return m_pLoop->RunFor(duration); }

void Device::Tell(const char* function, int line, const std::string& message) const
{
    if (m_config.tell) {
        m_config.tell(message);
    } else {
        Notice(function, line, message);
    }
}

void Device::Notice(const char* function, int line, const std::string& message) const
{
    if (m_noticeHook) {
        m_noticeHook(function, line, message);
    } else {
        std::fprintf(stderr, "device: %s\n", message.c_str());
    }
}

} // namespace device
