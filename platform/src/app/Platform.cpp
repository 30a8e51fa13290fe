// The platform on the phone: it takes the device's touch panel, display, signals and
// notices for itself while it lives, and hands them back when it goes.
#include "app/Platform.h"

#include "base/Installed.h"
#include "base/Log.h"
#include "base/Trace.h"
#include "osp/App.h"
#include "osp/System.h"

namespace app {

Platform::Platform(device::Device& device)
    : m_device(device), m_screen(device.GetDisplay()), m_touch(device.Loop(), m_screen), m_cameras(device.Camera())
{
    m_device.Touch().SetHandler([this](device::TouchPhase phase, int x, int y) { OnTouch(phase, x, y); });
    m_device.SetSignalHandler([this](device::Signal signal, int value) { OnSignal(signal, value); });
    m_device.SetNoticeHook(
        [](const char* function, int line, const std::string& message) { oslog::Platform(function, line, message); });
    m_device.SetRecordHook([](const std::string& name, const device::Device::Fields& fields) {
        if (!trace::Enabled()) {
            return;
        }
        trace::Event e;
        e.type = trace::Event::Type::Finger;
        e.name = name;
        e.args = fields;
        trace::Emit(std::move(e));
    });
}

Platform::~Platform()
{
    m_device.Touch().SetHandler(nullptr);
    m_device.SetSignalHandler(nullptr);
    m_device.SetNoticeHook(nullptr);
    m_device.SetRecordHook(nullptr);
}

Platform& Platform::Of(device::Device& device)
{
    if (auto* platform = dynamic_cast<Platform*>(device.GetSoftware())) {
        return *platform;
    }
    auto platform = std::make_unique<Platform>(device);
    Platform& p = *platform;
    device.SetSoftware(std::move(platform));
    return p;
}

Platform* Platform::Current() { return base::Installed<Platform>(); }

void Platform::OnSignal(device::Signal signal, int value)
{
    switch (signal) {
    case device::Signal::Background:
        m_background = true;
        // A finger on the screen when the application leaves is lifted for it.
        m_touch.Cancel();
        if (m_pApp) {
            m_pApp->OnBackground();
        }
        break;
    case device::Signal::Foreground:
        m_background = false;
        if (m_pApp) {
            m_pApp->OnForeground();
        }
        break;
    case device::Signal::LowMemory:
        if (m_pApp) {
            m_pApp->OnLowMemory();
        }
        break;
    case device::Signal::BatteryLevel:
        if (m_pApp) {
            m_pApp->OnBatteryLevelChanged(static_cast<Osp::System::BatteryLevel>(value));
        }
        break;
    }
}

void Platform::OnTouch(device::TouchPhase phase, int x, int y)
{
    // The screen belongs to another application while this one is in the background.
    if (!m_pApp || m_background) {
        return;
    }
    switch (phase) {
    case device::TouchPhase::Press: m_touch.Press(x, y); break;
    case device::TouchPhase::Move: m_touch.Move(x, y); break;
    case device::TouchPhase::Release: m_touch.Release(x, y); break;
    }
}

} // namespace app
