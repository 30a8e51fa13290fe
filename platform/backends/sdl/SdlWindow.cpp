// The SDL2 window: opening it on the desktop there is, at a size that suits it, and running
// the device's loop with it until the run ends.
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "device/Device.h"
#include "sdl/Presenter.h"
#include "sdl/WaylandDesk.h"
#include "sdl/WindowParts.h"

// Last: SDL_syswm.h brings Xlib's macros (None, Status, ...) that nothing above should see.
#include <SDL.h>
#include <SDL_syswm.h>

namespace sdl {

using namespace detail;

namespace {

// The desktop entry's name (data/org.veltora.Veltora.desktop) without its ending.
constexpr const char* kDesktopId = "org.veltora.Veltora";

// The density of a desktop that scales nothing.
constexpr float kPlainDpi = 96.0f;

bool DisplayMissing()
{
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (!x || !*x) && (!wayland || !*wayland);
}

bool Set(const char* name)
{
    const char* v = std::getenv(name);
    return v && *v;
}

// The desktop's density in dots per inch, 0 when nothing says. SDL knows it where the
// display reports its size; on X the desktop's own setting (Xft.dpi, which desktops raise to
// scale their windows) comes first, then the screen's size in millimetres.
float DesktopDpi()
{
    float ddpi = 0;
    if (SDL_GetDisplayDPI(0, &ddpi, nullptr, nullptr) == 0 && std::isfinite(ddpi) && ddpi > 0) {
        return ddpi;
    }
#if defined(SDL_VIDEO_DRIVER_X11)
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0) {
        return 0;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return 0;
    }
    float dpi = 0;
    if (const char* xft = XGetDefault(display, "Xft", "dpi")) {
        char* end = nullptr;
        const double v = std::strtod(xft, &end);
        if (end != xft && std::isfinite(v) && v > 0 && v < 10000) {
            dpi = static_cast<float>(v);
        }
    }
    const int screen = DefaultScreen(display);
    if (dpi == 0 && DisplayWidthMM(display, screen) > 0) {
        dpi = static_cast<float>(DisplayWidth(display, screen) * 25.4 / DisplayWidthMM(display, screen));
    }
    XCloseDisplay(display);
    return dpi;
#else
    return 0;
#endif
}

} // namespace

int QuarterTurnsForPitch(float pitch) { return device::QuarterTurnsForPitch(pitch); }

std::unique_ptr<Window> Window::Open(device::Device& device, const Options& options, std::string& reason)
{
    if (device.Loop().Clock() != device::ClockKind::Real) {
        reason = "the window needs the device's real clock";
        return nullptr;
    }
    if (options.shrink < 0 || options.shrink > kMaxShrink) {
        reason = "the window's shrink must be 0 (fit the desktop) to " + std::to_string(kMaxShrink);
        return nullptr;
    }
    // The launcher watches SIGINT and SIGTERM itself and ends the run through the device.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // A GL renderer drawn in software (no GPU, a virtual or remote X server) costs threads
    // and several times the CPU of SDL's software renderer, which turns and scales this small
    // screen in well under a millisecond; SDL_RENDER_DRIVER in the environment picks another.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // A touch screen's fingers are handled as fingers: no mouse made from them, and no
    // touches made from the mouse, so one finger is never pressed twice.
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
    SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
    // The desktop matches the window to its entry, and so to its name and icon, by this id:
    // the Wayland app id and X's window class. SDL 2 takes both from the environment only.
    if (!Set("SDL_VIDEO_WAYLAND_WMCLASS") && !Set("SDL_VIDEO_X11_WMCLASS")) {
        setenv("SDL_VIDEO_WAYLAND_WMCLASS", kDesktopId, 1);
        setenv("SDL_VIDEO_X11_WMCLASS", kDesktopId, 1);
    }
    // Without a desktop SDL would settle for a driver that draws nowhere (offscreen, dummy):
    // those only when the user names one in SDL_VIDEODRIVER.
    const bool driverChosen = Set("SDL_VIDEODRIVER");
    if (!driverChosen && DisplayMissing()) {
        reason = "cannot open a window: no display (DISPLAY is not set; --headless runs without one)";
        return nullptr;
    }
    // With only an X display named, only X is tried: a Wayland attempt would print its own
    // complaint about the runtime folder before ours.
    if (!driverChosen && !Set("WAYLAND_DISPLAY")) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    }
    // Where a Wayland compositor runs, the window is its own client (SDL would pick X first,
    // through Xwayland). A compositor with no seat at all (a headless one) makes SDL 2.26
    // crash at start: X is used then if there is one, else the run ends with the reason.
    WaylandDesk wayland;
    if (!driverChosen && Set("WAYLAND_DISPLAY")) {
        wayland = AskWayland();
        if (wayland.reached && wayland.seat) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, Set("DISPLAY") ? "wayland,x11" : "wayland");
        } else if (Set("DISPLAY")) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        } else if (wayland.asked && !wayland.reached) {
            reason = "cannot open a window: " + WhyNoWayland() + " (--headless runs without a display)";
            return nullptr;
        } else if (wayland.reached) {
            SDL_version linked;
            SDL_GetVersion(&linked);
            reason = std::string("cannot open a window: the Wayland compositor at WAYLAND_DISPLAY=") +
                     std::getenv("WAYLAND_DISPLAY") +
                     " offers no seat (no keyboard, pointer or touch screen), and SDL " + std::to_string(linked.major) +
                     "." + std::to_string(linked.minor) + "." + std::to_string(linked.patch) +
                     " cannot start without one (--headless runs without a display)";
            return nullptr;
        }
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (!driverChosen && !Set("WAYLAND_DISPLAY")) {
            reason = std::string("cannot open a window: no X server answers at DISPLAY=") + std::getenv("DISPLAY") +
                     " (--headless runs without one)";
        } else {
            reason = std::string("cannot open a window: ") + SDL_GetError();
        }
        return nullptr;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driverChosen && driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        reason =
            std::string("cannot open a window: no display to show it on (SDL fell back to its ") + driver + " driver)";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    std::unique_ptr<Window> window(new Window(device, options));
    if (!window->m_wait.RegisterWake(reason)) {
        return nullptr; // the destructor shuts SDL's video down again
    }
    window->m_settings.LoadSettings();
    // The application has not built its form yet: the screen is landscape for now.
    const Box view = TurnedSize(device::Display::kLongSide, device::Display::kShortSide, window->m_held.heldTurns);
    double scale = options.shrink > 0 ? 1.0 / options.shrink : 1.0;
    // Wayland sizes windows in the output's units, each `scale` pixels across: the start size is
    // worked out in pixels, the output's scale standing for the density that X's Xft.dpi gives.
    const bool onWayland = driver && std::strcmp(driver, "wayland") == 0;
    const int units = onWayland ? std::max(1, wayland.scale) : 1;
    SDL_Rect usable;
    Box start{0, 0, std::max(1, static_cast<int>(std::lround(view.w * scale / units))),
              std::max(1, static_cast<int>(std::lround(view.h * scale / units)))};
    if (options.shrink == 0 && SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0) {
        start = StartSize(view.w, view.h, usable.w, usable.h,
                          onWayland ? kPlainDpi * static_cast<float>(units) : DesktopDpi(), units);
    }
    int w = start.w;
    int h = start.h;
    Uint32 flags = SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    if (options.fullscreen) {
        // The desktop's own mode: the display keeps its resolution and the view is fitted to
        // it, pixel for pixel where the display has the phone's size.
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
            w = mode.w;
            h = mode.h;
        }
    }
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    if (!options.fullscreen) {
        window->m_settings.StartPlace(x, y, w, h);
    }
    window->m_window.reset(SDL_CreateWindow("Veltora", x, y, w, h, flags));
    if (!window->m_window) {
        reason = std::string("cannot open a window: ") + SDL_GetError();
        return nullptr; // the destructor shuts SDL's video down again
    }
    SDL_SetWindowMinimumSize(window->m_window.get(), 120, 120);
    window->m_presenter = Presenter::Make(device, window->m_window.get(), reason);
    if (!window->m_presenter) {
        return nullptr;
    }
    window->m_settings.ShowLastPicture();
    window->m_presentation.UpdateTitle();
    window->m_wait.Watch(window->m_window.get());
    device.Loop().SetWaiter(window.get());
    return window;
}

Window::Window(device::Device& device, const Options& options)
    : m_device(device), m_options(options), m_layoutShown(device.Tilt())
{
    const float pitch = device.Tilt().Pitch();
    m_held.pitch = std::isfinite(pitch) ? WrapPitch(pitch) : -90.0f;
    m_held.heldTurns = QuarterTurnsForPitch(m_held.pitch);
    m_aimer.Hold(m_held.heldTurns, m_held.portraitForm);
    // The camera turns with the phone as the window shows it held.
    device.Camera().SetHeldTurns(m_held.heldTurns);
}

void detail::Say(device::Device& device, const std::string& message)
{
    // Lines made elsewhere may already start as the user's channel prints them.
    const std::string prefix = "veltora: ";
    device.Tell(__func__, __LINE__, message.rfind(prefix, 0) == 0 ? message.substr(prefix.size()) : message);
}

bool Window::ConnectionLost() const { return m_wait.Lost(); }

Ending Window::GetEnding() const { return ConnectionLost() ? Ending::WindowLost : Ending::Quit; }

Window::~Window()
{
    // The window's place while it is still there to be asked.
    m_settings.SaveSettings();
    // Once this returns no thread calls Wake any more: the loop holds its lock while waking.
    m_device.Loop().SetWaiter(nullptr);
    // With the display gone, taking the window down would talk to it again, and a
    // connection SDL keeps of its own would then end the process from inside Xlib. The
    // process is about to end: leave it all to the system.
    if (ConnectionLost()) {
        if (m_presenter) {
            m_presenter->Abandon();
        }
        (void)m_window.release();
        return;
    }
    m_presenter.reset();
    m_window.reset();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
}

void Window::Run() { m_device.Loop().RunUntil(device::kForever); }

void Window::Wake() { m_wait.Wake(); }

void Window::WaitUntil(device::Micros deadline, device::Micros now)
{
    m_wait.OnEventThread();
    if (ConnectionLost()) {
        // Nothing more can be shown or read: the run ends in order, as if the user had quit.
        if (!m_device.TerminationRequested()) {
            Say(m_device, "the window was closed from outside or its display went away; ending the run");
            m_device.RequestTermination();
        }
        return;
    }
    m_presentation.Refresh();
    if (m_pictures.Stepping()) {
        // N or P is still looking: input first, then the next slice, and no waiting.
        m_input.HandlePending();
        m_pictures.ContinueStep();
        m_input.FlushInput();
        return;
    }
    int timeoutMs = -1;
    if (deadline != device::kForever) {
        // Rounded up, so the loop wakes at or just after its deadline and never spins.
        const device::Micros ms = deadline <= now ? 0 : (deadline - now + 999) / 1000;
        timeoutMs = static_cast<int>(std::min<device::Micros>(ms, INT_MAX));
    }
    // Events that came in meanwhile go first; the loop then runs what they posted.
    if (m_input.HandlePending()) {
        return;
    }
    SDL_Event event;
    switch (m_wait.Wait(timeoutMs, event)) {
    case DesktopWait::Woke::Event:
        m_input.Handle(event);
        m_input.HandlePending();
        m_input.FlushInput();
        break;
    case DesktopWait::Woke::Events: m_input.HandlePending(); break;
    default: break;
    }
}

} // namespace sdl
