// The Osp side of one phone: life-cycle delivery to the application, the screen that
// composes its controls, gesture routing and the camera's shared state, on the device.
#pragma once

#include <memory>

#include "device/Device.h"
#include "media/CameraUnit.h"
#include "ui/Screen.h"
#include "ui/TouchRouter.h"

namespace Osp { namespace App { class Application; } }

namespace app {

class Platform final : public device::Device::Software {
public:
    explicit Platform(device::Device& device);
    ~Platform() override;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    // The platform running on `device`, started on first use.
    static Platform& Of(device::Device& device);
    // The platform of the current device; null when there is no device.
    static Platform* Current();

    device::Device& Device() { return m_device; }
    ui::Screen& Screen() { return m_screen; }
    ui::TouchRouter& Touch() { return m_touch; }
    media::CameraService& Cameras() { return m_cameras; }

    // Set by the application runtime while an application runs.
    void SetApplication(Osp::App::Application* app) { m_pApp = app; }
    Osp::App::Application* GetApplication() const { return m_pApp; }
    bool InBackground() const { return m_background; }

private:
    void OnSignal(device::Signal signal, int value);
    void OnTouch(device::TouchPhase phase, int x, int y);

    device::Device& m_device;
    ui::Screen m_screen;
    ui::TouchRouter m_touch;
    media::CameraService m_cameras;
    Osp::App::Application* m_pApp = nullptr;
    bool m_background = false;
};

} // namespace app
