// The simulated phone's hardware: its event loop and clock, camera sensor, tilt sensor,
// touch panel and display, and the life-cycle signals the phone sends. Nothing of Osp.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/CameraSensor.h"
#include "device/CameraSource.h"
#include "device/Display.h"
#include "device/EventLoop.h"
#include "device/TiltSensor.h"
#include "device/TouchPanel.h"

namespace device {

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
    // Where lines for the person using the phone go (a camera source that gave way, and
    // what is shown instead); the launcher prints them as its own. None: they are notices.
    std::function<void(const std::string& message)> tell;
    // Fault injection for tests: the system refuses to start an application and reports
    // this code (0 starts it).
    unsigned long startFailure = 0;
};

// What the phone tells the system running on it, besides touches and sensor readings.
enum class Signal { Background, Foreground, LowMemory, BatteryLevel };
enum class BatteryLevel { Full, High, Low, Critical, Empty };

class Device {
public:
    // The system that runs on the phone (the platform above it) keeps its state here; it
    // is destroyed before the hardware it uses.
    class Software {
    public:
        virtual ~Software() = default;
    };

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

    CameraSensor& Camera() { return *m_pCamera; }
    TiltSensor& Tilt() { return *m_pTilt; }
    TouchPanel& Touch() { return m_touch; }
    Display& GetDisplay() { return m_display; }

    Software* GetSoftware() const { return m_pSoftware.get(); }
    void SetSoftware(std::unique_ptr<Software> software);

    // The life-cycle signals, each delivered on the event thread, in order, to the handler.
    using SignalHandler = std::function<void(Signal signal, int value)>;
    void SetSignalHandler(SignalHandler handler) { m_signalHandler = std::move(handler); }
    void PostBackground() { PostSignal(Signal::Background, 0); }
    void PostForeground() { PostSignal(Signal::Foreground, 0); }
    void PostLowMemory() { PostSignal(Signal::LowMemory, 0); }
    void PostBatteryLevel(BatteryLevel level) { PostSignal(Signal::BatteryLevel, static_cast<int>(level)); }
    // Touches at screen points (the screen as composed: 800x480, or 480x800 while it is
    // portrait). Any thread; delivered in order on the event thread.
    using TouchPhase = device::TouchPhase;
    static constexpr int kTouchLimit = TouchPanel::kLimit;
    void PostTouch(TouchPhase phase, int x, int y);
    // The phone's pitch in degrees, as the tilt sensor will report it.
    void PostPitch(float pitch);
    // Aims the camera over its picture (see CameraSource.h); any thread.
    void PostAim(const Aim& aim);
    // Aims so that a picture point (fractions of the picture) lands on a screen point
    // (pixels of the landscape screen, which the camera's frames cover); any thread.
    void PostAimAt(double zoom, double pictureX, double pictureY, double screenX, double screenY);
    // Turns what the camera looks at by quarter turns (CameraSensor::SetPictureTurns); any thread.
    void PostPictureTurns(int turns);

    // Ends the run: from any thread (a signal thread too), also from a callback.
    void RequestTermination();
    bool TerminationRequested() const { return m_pLoop->Stopped(); }

    // What drives a run once the application has started (a script, a test). It runs
    // on the event thread and advances time with RunFor; when it returns, the
    // application is terminated. Without one the run lasts until termination.
    using Driver = std::function<void(Device&)>;
    void SetDriver(Driver driver) { m_driver = std::move(driver); }
    const Driver& GetDriver() const { return m_driver; }
    // Lets simulated time pass (or real time, with the real clock); false once terminating.
    bool RunFor(Micros duration);
    Micros Now() const { return m_pLoop->Now(); }

    // One line about the hardware (a camera source that gave way), with the function and
    // line it comes from; the system above routes them to its log, until then to stderr.
    using NoticeHook = std::function<void(const char* function, int line, const std::string& message)>;
    void SetNoticeHook(NoticeHook hook) { m_noticeHook = std::move(hook); }
    void Notice(const char* function, int line, const std::string& message) const;
    // A line for the user: through DeviceConfig::tell when set, otherwise a notice.
    void Tell(const char* function, int line, const std::string& message) const;

    // What the device did for the user on its own (the finger's readings and refusals), by
    // name with fields already in JSON form; the system above keeps them in its trace. Called
    // on the event thread. Without a hook nothing is kept.
    using Fields = std::vector<std::pair<std::string, std::string>>;
    using RecordHook = std::function<void(const std::string& name, const Fields& fields)>;
    void SetRecordHook(RecordHook hook) { m_recordHook = std::move(hook); }
    void Record(const std::string& name, const Fields& fields) const
    {
        if (m_recordHook) {
            m_recordHook(name, fields);
        }
    }

private:
    void PostSignal(Signal signal, int value);

    DeviceConfig m_config;
    std::unique_ptr<EventLoop> m_pLoop;
    std::unique_ptr<CameraSensor> m_pCamera;
    std::unique_ptr<TiltSensor> m_pTilt;
    TouchPanel m_touch;
    Display m_display;
    Driver m_driver;
    SignalHandler m_signalHandler;
    NoticeHook m_noticeHook;
    RecordHook m_recordHook;
    std::unique_ptr<Software> m_pSoftware;
};

} // namespace device
