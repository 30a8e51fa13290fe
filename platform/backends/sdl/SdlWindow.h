// The desktop window of the simulated phone: shows its screen the way a person holding the
// phone would see it, and turns the mouse, the wheel and the keys into touches, tilt and aim.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/CameraSource.h"
#include "device/EventLoop.h"

// SDL stays out of this header, so the launcher builds without SDL's include paths.
struct SDL_Window;
union SDL_Event;

namespace device { class Device; }

namespace sdl {

// Every key and mouse action the window knows, for --help and the README.
extern const char* const kKeyHelp;

struct Options {
    // Shows the screen this many times smaller (1 is pixel for pixel); 0 picks the
    // least shrink that fits the desktop.
    int shrink = 0;
};

// Which way the phone is held, as quarter turns the window applies to the screen
// (clockwise); also used by the window to map mouse points back onto the screen.
int QuarterTurnsForPitch(float pitch);

class Window final : public device::EventLoop::Waiter {
public:
    // Opens the window and makes it the way the device's loop waits. Returns null with a
    // one-line reason when there is no display, or when the device runs on the simulated
    // clock (a window needs the real one). Call on the thread that will run the device.
    static std::unique_ptr<Window> Open(device::Device& device, const Options& options, std::string& reason);
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Runs the device until it terminates (Q, Escape, closing the window, a signal).
    // Call from the device's driver, on the event thread.
    void Run();

    void WaitUntil(device::Micros deadline, device::Micros now) override;
    void Wake() override;

private:
    Window(device::Device& device, const Options& options);

    struct Point {
        int x = 0;
        int y = 0;
    };

    void WatchConnection();
    bool HandlePending();
    void Refresh();
    void Present();
    void Resize(int width, int height);
    void UpdateTitle();
    void Handle(const SDL_Event& event);
    void HandleKey(const SDL_Event& event);
    void FlushInput();

    void LiftFinger();
    void SetPitch(float pitch);
    void PanBy(double viewDx, double viewDy);
    void ZoomBy(double factor, const Point* windowPoint);
    void SetAim(device::Aim aim);
    void TakeScreenshot();

    // How the screen is turned in the window now, and how much it is shrunk.
    int Turns() const;
    int ShrinkFor(int viewWidth, int viewHeight) const;
    Point WindowToScreen(int wx, int wy) const;

    device::Device& m_device;
    Options m_options;
    SDL_Window* m_pWindow = nullptr;
    std::uint32_t m_wakeEventType = 0;
    std::atomic<bool> m_wakePending{false};
    std::atomic<std::thread::id> m_eventThread{};
    // On X11: the X connection's socket and the eventfd that Wake writes to; -1 elsewhere,
    // where SDL's own wait and a pushed event are used.
    int m_xFd = -1;
    int m_wakeFd = -1;

    // What is on show, to tell when it must be drawn again.
    std::uint64_t m_shownVersion = 0;
    bool m_mustPresent = true;
    int m_screenWidth = 800;
    int m_screenHeight = 480;
    bool m_portraitForm = false;
    int m_turns = 0;
    int m_shrink = 1;
    int m_shrinkForWidth = 0; // the view size m_shrink was chosen for
    int m_shrinkForHeight = 0;
    int m_windowWidth = 0;
    int m_windowHeight = 0;
    std::vector<std::uint32_t> m_view;
    std::vector<std::uint32_t> m_small;
    std::string m_title;

    float m_pitch = -90.0f;
    bool m_background = false;

    // The left button is the finger; moves are gathered and sent once per batch of events.
    bool m_fingerDown = false;
    bool m_moveQueued = false;
    Point m_finger;

    device::Aim m_aim;
    bool m_aimChanged = false;
    bool m_panning = false;
    Point m_panFrom;

};

} // namespace sdl
