// The desktop window of the simulated phone: shows its screen the way a person holding the
// phone would see it, and turns the mouse, the wheel and the keys into touches, tilt and aim.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/Aiming.h"
#include "device/CameraSource.h"
#include "device/EventLoop.h"
#include "instrument/Finger.h"
#include "instrument/LayoutShown.h"
#include "sdl/Aimer.h"
#include "sdl/DesktopWait.h"
#include "sdl/EdgeSearch.h"
#include "sdl/KeyTable.h"
#include "sdl/SdlFinger.h"
#include "sdl/SdlHandles.h"
#include "sdl/SdlInput.h"
#include "sdl/SdlPictures.h"
#include "sdl/SdlPresent.h"
#include "sdl/SdlScreenshot.h"
#include "sdl/SdlSettings.h"
#include "sdl/WindowOptions.h"
#include "sdl/WindowParts.h"

// SDL stays out of this header, so the launcher builds without SDL's include paths.
union SDL_Event;

namespace device {
class Device;
}

namespace sdl {

class Presenter;

// Every key and mouse action the window knows, for --help, the README and the key list (H),
// made from the key table.
extern const char* const kKeyHelp;

// How the run with a window ended, for the launcher's exit code.
enum class Ending { Quit, WindowLost };

// Which way the phone is held for a pitch, as quarter turns the window applies to the
// screen (clockwise): 0 at -90 (landscape), 1 at 0 (portrait), 2 at 90, 3 at 180.
int QuarterTurnsForPitch(float pitch);

// The window ties its parts together: it is the way the device's loop waits (through the
// desktop wait), hands the events to its input and has its presentation draw when something
// changed. It keeps how the phone is held, which its parts read.
class Window final : public device::EventLoop::Waiter {
public:
    // Opens the window and makes it the way the device's loop waits. Returns null with a
    // one-line reason when there is no display, or when the device runs on the simulated
    // clock (a window needs the real one). Call on the thread that will run the device.
    static std::unique_ptr<Window> Open(device::Device& device, const Options& options, std::string& reason);
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Runs the device until it terminates (Q, closing the window, a signal, the window
    // or its display lost). Call from the device's driver, on the event thread.
    void Run();
    Ending GetEnding() const;
    // Whether a screenshot the user asked for (S, Shift+S) could not be saved: the run then
    // ends as failed, as when the trace or the log cannot be written.
    bool ScreenshotFailed() const { return m_screenshots.Failed(); }

    void WaitUntil(device::Micros deadline, device::Micros now) override;
    void Wake() override;

private:
    Window(device::Device& device, const Options& options);

    bool ConnectionLost() const;

    device::Device& m_device;
    Options m_options;
    DesktopWait m_wait;
    // The layout the phone shows, from the tilt readings: before the aimer and the presenter.
    instrument::LayoutShown m_layoutShown;

    // Declared before the presenter, whose renderer draws into it and goes first.
    WindowHandle m_window;
    std::unique_ptr<Presenter> m_presenter;

    detail::Held m_held;

    Finger m_finger{m_device};
    Aimer m_aimer{m_device, m_layoutShown};

    Pictures m_pictures{m_device, m_options, m_aimer};

    Settings m_settings{m_device, m_options, m_held, m_wait, m_window, m_pictures};
    Presentation m_presentation{m_device, m_options, m_held,        m_window,  m_presenter,
                                m_finger, m_aimer,   m_layoutShown, m_pictures};

    Screenshots m_screenshots{m_device, m_options, m_held, m_presenter, m_presentation};
    Input m_input{m_device,    m_wait,         m_held,     m_finger, m_aimer,
                  m_presenter, m_presentation, m_pictures, m_edges,  m_screenshots};

    // E and C: declared last, so that a search still running ends before the rest goes.
    EdgeSearch m_edges{m_device, m_held, m_finger, m_aimer, m_presentation, m_window, m_presenter};
};

} // namespace sdl
