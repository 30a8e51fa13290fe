// The SDL2 window: opening it, and waiting for desktop events and the device's timers in
// one place; presenting, input, aiming and screenshots each have a file of their own.
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "device/Device.h"
#include "sdl/WindowParts.h"

// Last: SDL_syswm.h brings Xlib's macros (None, Status, ...) that nothing above should see.
#include <SDL.h>
#include <SDL_syswm.h>

namespace sdl {

using namespace detail;

const char* const kKeyHelp =
    "in the window:\n"
    "  left mouse button    the finger: press, drag and release on the phone's screen\n"
    "  1 2 3 4              hold the phone: landscape (pitch -90), portrait (0),\n"
    "                       landscape turned over (+90), portrait upside down (180)\n"
    "  [ ]                  tilt the phone 5 degrees back / forward\n"
    "  arrow keys           aim the camera (with Shift: small steps)\n"
    "  right button drag    move the camera's picture\n"
    "  wheel, + -           zoom the camera in / out (1x to 8x)\n"
    "  0                    the camera's whole picture again\n"
    "  B F                  send the application to the background / bring it back\n"
    "  S                    save the screen as veltora-DATE-TIME.png in the current folder\n"
    "  H, F1                print this list\n"
    "  Q, Escape            quit (closing the window quits too)\n";

namespace {

bool DisplayMissing()
{
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (!x || !*x) && (!wayland || !*wayland);
}

} // namespace

int QuarterTurnsForPitch(float pitch)
{
    if (!std::isfinite(pitch)) {
        return 0;
    }
    // -90 shows the screen as it is; each further quarter of pitch turns it a quarter clockwise.
    const long q = std::lround((static_cast<double>(WrapPitch(pitch)) + 90.0) / 90.0);
    return static_cast<int>(((q % 4) + 4) % 4);
}

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
    // The screen is copied straight into the window: a GL texture in between only costs
    // threads and time, above all where GL is drawn in software.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Without a desktop SDL would settle for a driver that draws nowhere (offscreen, dummy):
    // those only when the user names one in SDL_VIDEODRIVER.
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    const bool driverChosen = chosen && *chosen;
    if (!driverChosen && DisplayMissing()) {
        reason = "cannot open a window: no display (DISPLAY is not set; --headless runs without one)";
        return nullptr;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        reason = std::string("cannot open a window: ") + SDL_GetError();
        return nullptr;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driverChosen && driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        reason = std::string("cannot open a window: no display to show it on (SDL fell back to its ") + driver +
                 " driver)";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    const Uint32 wakeType = SDL_RegisterEvents(1);
    if (wakeType == static_cast<Uint32>(-1)) {
        reason = std::string("cannot open a window: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }

    std::unique_ptr<Window> window(new Window(device, options));
    window->m_wakeEventType = wakeType;
    // The application has not built its form yet: the screen is landscape for now.
    const bool sideways = window->m_turns % 2 == 1;
    const int viewW = sideways ? device::Display::kShortSide : device::Display::kLongSide;
    const int viewH = sideways ? device::Display::kLongSide : device::Display::kShortSide;
    window->m_shrink = window->ShrinkFor(viewW, viewH);
    window->m_shrinkForWidth = viewW;
    window->m_shrinkForHeight = viewH;
    window->m_windowWidth = viewW / window->m_shrink;
    window->m_windowHeight = viewH / window->m_shrink;
    window->m_pWindow = SDL_CreateWindow("Veltora", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                         window->m_windowWidth, window->m_windowHeight, SDL_WINDOW_SHOWN);
    if (!window->m_pWindow) {
        reason = std::string("cannot open a window: ") + SDL_GetError();
        return nullptr; // the destructor shuts SDL's video down again
    }
    window->UpdateTitle();
    window->WatchConnection();
    device.Loop().SetWaiter(window.get());
    return window;
}

Window::Window(device::Device& device, const Options& options) : m_device(device), m_options(options)
{
    const float pitch = device.Tilt().Pitch();
    m_pitch = std::isfinite(pitch) ? WrapPitch(pitch) : -90.0f;
    m_turns = QuarterTurnsForPitch(m_pitch);
}

void Window::WatchConnection()
{
    // On X11 the window waits on the X connection and an eventfd itself. SDL's own wait
    // wakes through a second X connection that sends the window a message, and a message
    // still on its way when the window closes fails, which Xlib answers by exiting.
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(m_pWindow, &info) || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display) {
        return;
    }
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd >= 0) {
        m_xFd = ConnectionNumber(info.info.x11.display);
    }
#endif
}

Window::~Window()
{
    // Once this returns no thread calls Wake any more: the loop holds its lock while waking.
    m_device.Loop().SetWaiter(nullptr);
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
    }
    if (m_pWindow) {
        SDL_DestroyWindow(m_pWindow);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
}

void Window::Run()
{
    m_device.Loop().RunUntil(device::kForever);
}

void Window::Wake()
{
    // The event thread posts only between waits, and the loop looks at its queue again
    // before it waits: only other threads need to wake it.
    if (std::this_thread::get_id() == m_eventThread.load()) {
        return;
    }
    if (m_wakeFd >= 0) {
        // An eventfd keeps count, so a wake that comes just before the poll is not lost.
        const std::uint64_t one = 1;
        const ssize_t written = write(m_wakeFd, &one, sizeof one);
        (void)written; // only fails when the count is already huge, which wakes the poll too
        return;
    }
    // One wake event in the queue is enough; posts come far faster than the queue drains.
    if (m_wakePending.exchange(true)) {
        return;
    }
    SDL_Event event{};
    event.type = m_wakeEventType;
    if (SDL_PushEvent(&event) <= 0) {
        m_wakePending.store(false);
    }
}

bool Window::HandlePending()
{
    SDL_Event event;
    bool any = false;
    while (SDL_PollEvent(&event)) {
        Handle(event);
        any = true;
    }
    if (any) {
        FlushInput();
    }
    return any;
}

void Window::WaitUntil(device::Micros deadline, device::Micros now)
{
    m_eventThread.store(std::this_thread::get_id());
    Refresh();
    int timeoutMs = -1;
    if (deadline != device::kForever) {
        // Rounded up, so the loop wakes at or just after its deadline and never spins.
        const device::Micros ms = deadline <= now ? 0 : (deadline - now + 999) / 1000;
        timeoutMs = static_cast<int>(std::min<device::Micros>(ms, INT_MAX));
    }
    // Events that came in meanwhile go first; the loop then runs what they posted.
    if (HandlePending()) {
        return;
    }
    if (m_xFd >= 0) {
        // SDL_PollEvent has just emptied Xlib's queue too, so the connection's socket
        // is all there is to watch for desktop events.
        pollfd fds[2] = {{m_xFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) > 0 && (fds[1].revents & POLLIN)) {
            std::uint64_t count = 0;
            const ssize_t got = read(m_wakeFd, &count, sizeof count);
            (void)got; // nonblocking: nothing to read is fine
        }
        HandlePending();
        return;
    }
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, timeoutMs)) {
        Handle(event);
        HandlePending();
        FlushInput();
    }
}

} // namespace sdl
