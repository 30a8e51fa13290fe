// The simulated phone: its event loop and clock, its camera, tilt sensor and screen,
// and the application's life cycle, which it drives from the outside.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "device/CameraSource.h"
#include "device/EventLoop.h"
#include "osp/Base.h"
#include "osp/System.h"

namespace Osp { namespace App { class Application; } }
namespace ui { struct OverlayBuffer; }

namespace device {

class CameraHardware;
class TiltSensor;
class Screen;
class TouchRouter;

using CameraSourceFactory = std::function<std::unique_ptr<CameraSource>()>;

struct DeviceConfig {
    ClockKind clock = ClockKind::Virtual;
    // The folder that "/Res/" names; empty means "Res" beside the application library.
    std::string resDir;
    // The camera's picture source; none means the phone has no camera.
    CameraSourceFactory cameraSource;
    // Takes over when the chosen source cannot be opened or fails mid-run.
    CameraSourceFactory fallbackCameraSource;
    // How the phone is held at start: -90 is landscape.
    float initialPitch = -90.0f;
    // Fault injection for tests: Application::Execute fails with this result at once.
    Osp::Base::result executeFailure = Osp::Base::E_SUCCESS;
};

class Device {
public:
    explicit Device(DeviceConfig config = {});
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // The device the platform runs on; null when none has been made.
    static Device* Current();

    EventLoop& Loop() { return *m_pLoop; }
    const DeviceConfig& Config() const { return m_config; }
    void SetResDir(const std::string& dir) { m_config.resDir = dir; }
    // "/Res/name" becomes a path in the resource folder; other paths stay as they are.
    std::string ResolvePath(const std::string& path) const;

    CameraHardware& Camera() { return *m_pCamera; }
    TiltSensor& Tilt() { return *m_pTilt; }
    Screen& GetScreen() { return *m_pScreen; }
    TouchRouter& Touch() { return *m_pTouch; }

    // The application's life. Each is delivered on the event thread, in order.
    void PostBackground();
    void PostForeground();
    void PostLowMemory();
    void PostBatteryLevel(Osp::System::BatteryLevel level);
    // Touches at screen points (the screen as composed: 800x480, or 480x800 while the
    // form is portrait). Any thread; delivered in order on the event thread.
    enum class TouchPhase { Press, Move, Release };
    static constexpr int kTouchLimit = 1000000;
    void PostTouch(TouchPhase phase, int x, int y);
    // The phone's pitch in degrees, as the tilt sensor will report it.
    void PostPitch(float pitch);
    // Aims the camera over its picture (see CameraSource.h); any thread.
    void PostAim(const Aim& aim);

    // Ends the run: from any thread (a signal thread too), also from a callback.
    void RequestTermination();
    bool TerminationRequested() const { return m_pLoop->Stopped(); }
    bool InBackground() const { return m_background; }

    // What drives a run once the application has started (a script, a test). It runs
    // on the event thread and advances time with RunFor; when it returns, the
    // application is terminated. Without one the run lasts until termination.
    using Driver = std::function<void(Device&)>;
    void SetDriver(Driver driver) { m_driver = std::move(driver); }
    const Driver& GetDriver() const { return m_driver; }
    // Lets simulated time pass (or real time, with the real clock); false once terminating.
    bool RunFor(Micros duration);
    Micros Now() const { return m_pLoop->Now(); }

    // Set by the application runtime while an application runs.
    void SetApplication(Osp::App::Application* app) { m_pApp = app; }
    Osp::App::Application* GetApplication() const { return m_pApp; }

    // Overlay panels register their background so the camera can find it from a BufferInfo.
    void RegisterOverlay(const std::shared_ptr<ui::OverlayBuffer>& buffer);
    std::shared_ptr<ui::OverlayBuffer> FindOverlay(const void* pixels) const;

private:
    DeviceConfig m_config;
    std::unique_ptr<EventLoop> m_pLoop;
    std::unique_ptr<CameraHardware> m_pCamera;
    std::unique_ptr<TiltSensor> m_pTilt;
    std::unique_ptr<Screen> m_pScreen;
    std::unique_ptr<TouchRouter> m_pTouch;
    Driver m_driver;
    Osp::App::Application* m_pApp = nullptr;
    bool m_background = false;
    std::map<const void*, std::weak_ptr<ui::OverlayBuffer>> m_overlays;
};

} // namespace device
