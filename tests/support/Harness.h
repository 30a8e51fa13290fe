// Runs the application, linked in, on a headless device with a virtual clock, and lets
// a test read the form's state, the shown canvas, the screen and the log.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MainForm.h"
#include "Veltora.h"
#include "app/Platform.h"
#include "app/Runtime.h"
#include "base/Log.h"
#include "base/Trace.h"
#include "device/Device.h"
#include "graphics/PreviewBuffer.h"
#include "support/FormFields.h"
#include "ui/ControlAccess.h"

namespace testing_support {

// Collects log records while it lives, and keeps them off stderr.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::vector<oslog::Record> records;
    std::vector<std::string> Messages() const;
    int Count(const std::string& part) const;

private:
    int m_token;
};

// Collects trace events while it lives.
class TraceRecorder {
public:
    TraceRecorder();
    ~TraceRecorder();
    std::vector<trace::Event> events;
    int Count(const std::string& name) const;
    // The values of one argument over the calls of that name, in order.
    std::vector<std::string> Args(const std::string& name, const std::string& arg) const;
    void Clear() { events.clear(); }

private:
    int m_token;
};

std::string SourceRes();
// A fresh folder in this process's scratch folder, holding copies of the named Res/ files (all when empty).
std::string CopyRes(const std::string& folder, const std::vector<std::string>& leaveOut = {});

struct HarnessOptions {
    std::string resDir = SourceRes();
    bool camera = true; // the demo scene as the camera
    bool startApp = true;
    // The real clock, for a window (which waits on desktop events) to drive the device.
    device::ClockKind clock = device::ClockKind::Virtual;
    // Replaces the camera source (the demo scene) when set.
    device::CameraSourceFactory cameraSource;
    // Where the device's lines for the user go, as the launcher gives it one; none: notices.
    std::function<void(const std::string& message)> tell;
};

// A device plus the application, started in the constructor and ended in the
// destructor (or by Finish).
class Harness {
public:
    explicit Harness(HarnessOptions options = {});
    ~Harness();

    device::Device& Device() { return *m_pDevice; }
    app::Platform& Platform() { return app::Platform::Of(*m_pDevice); }
    ui::Screen& Screen() { return Platform().Screen(); }
    media::CameraService& Cameras() { return Platform().Cameras(); }
    MainForm& Form();
    MainFormInspector Inspect() { return MainFormInspector(Form()); }
    Veltora& App();

    void RunMs(double ms) { m_pDevice->RunFor(static_cast<device::Micros>(ms * 1000)); }
    // Runs until `n` more preview frames have been produced (or a second passed per frame).
    void Frames(int n);
    void Finish();
    bool Running() const { return m_pRuntime && m_pRuntime->Running(); }

    // Input, delivered before returning.
    void Press(int x, int y);
    void MoveTo(int x, int y);
    void Release(int x, int y);
    void Drag(int x0, int y0, int x1, int y1, int steps = 4);
    void Tap(int x, int y);
    void Pitch(float pitch) { m_pDevice->Tilt().SetPitch(pitch); }
    // The next tilt reading with this pitch, delivered.
    void Tilt(float pitch);

    // The draw calls of the canvas shown last, as "file@x,y" or "file@x,y/px,py:angle".
    std::vector<std::string> ShownDraws() const;
    LogCapture& Log() { return m_log; }
    TraceRecorder& Trace() { return m_trace; }

private:
    LogCapture m_log;
    TraceRecorder m_trace;
    std::unique_ptr<device::Device> m_pDevice;
    std::unique_ptr<app::Runtime> m_pRuntime;
};

} // namespace testing_support
