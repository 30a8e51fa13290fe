// The Osp side of one phone: life-cycle delivery to the application, the screen that
// composes its controls, gesture routing and the camera's shared state, on the device.
// It is the device's software, and offers the modules below it what each needs of it.
#pragma once

#include <memory>

#include "device/Device.h"
#include "graphics/CanvasScreen.h"
#include "media/CameraUnit.h"
#include "ui/Screen.h"
#include "ui/TouchRouter.h"

namespace Osp { namespace App {
class Application;
class AppFrame;
}} // namespace Osp::App

namespace app {

class Platform final : public device::Device::Software,
                       public graphics::CanvasScreen,
                       public ui::ScreenOwner,
                       public media::CameraOwner {
public:
    explicit Platform(device::Device& device);
    ~Platform() override;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    // The platform running on `device`, started on first use.
    static Platform& Of(device::Device& device);
    // The platform running on the current device; null when there is none (none is started).
    static Platform* Current();

    device::Device& Device() { return m_device; }
    ui::Screen& Screen() override { return m_screen; }
    ui::TouchRouter& Touch() { return m_touch; }
    media::CameraService& Cameras() override { return m_cameras; }
    void ShowCanvas(const graphics::CanvasImpl& canvas) override { m_screen.ShowCanvas(canvas); }

    // The one record of the application running here and its frame, kept by the
    // application runtime while it runs.
    void SetApplication(Osp::App::Application* app, Osp::App::AppFrame* frame = nullptr)
    {
        m_pApp = app;
        m_pAppFrame = frame;
    }
    Osp::App::Application* GetApplication() const { return m_pApp; }
    Osp::App::AppFrame* GetAppFrame() const { return m_pAppFrame; }
    bool InBackground() const { return m_background; }

private:
    void OnSignal(device::Signal signal, int value);
    void OnTouch(device::TouchPhase phase, int x, int y);

    device::Device& m_device;
    ui::Screen m_screen;
    ui::TouchRouter m_touch;
    media::CameraService m_cameras;
    Osp::App::Application* m_pApp = nullptr;
    Osp::App::AppFrame* m_pAppFrame = nullptr;
    bool m_background = false;
};

} // namespace app
