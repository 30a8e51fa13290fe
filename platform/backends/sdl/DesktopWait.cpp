// The window's wait: on X11 it polls the X connection and an eventfd itself, since SDL's own
// wait wakes through a second X connection that sends the window a message, and a message
// still on its way when the window closes fails, which Xlib answers by exiting. Elsewhere
// SDL's wait and an event of its own are used.
#include "sdl/DesktopWait.h"

#if defined(VELTORA_HAVE_WAYLAND)
#include <wayland-client.h>
#endif

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

// Last: SDL_syswm.h brings Xlib's macros (None, Status, ...) that nothing above should see.
#include <SDL.h>
#include <SDL_syswm.h>

namespace sdl {

namespace {

#if defined(SDL_VIDEO_DRIVER_X11)
// Xlib reports a lost connection or a window destroyed under it through process-wide
// handlers whose default is to print and exit; these note it instead, and the window
// ends the run in order.
std::atomic<bool> g_xLost{false};
::Window g_xWindow = 0;

int OnXError(Display*, XErrorEvent* error)
{
    // Drawing into a window that someone destroyed: the window is gone. Any other error
    // (a request SDL made that the server refused) is not worth ending the run for.
    if ((error->error_code == BadWindow || error->error_code == BadDrawable) && error->resourceid == g_xWindow) {
        g_xLost.store(true);
    }
    return 0;
}

int OnXIOError(Display*)
{
    g_xLost.store(true);
    return 0;
}

void OnXIOErrorExit(Display*, void*)
{
    // Returning marks the connection dead; Xlib's later calls on it return at once.
    g_xLost.store(true);
}
#endif

} // namespace

DesktopWait::~DesktopWait()
{
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
    }
}

bool DesktopWait::RegisterWake(std::string& reason)
{
    const Uint32 wakeType = SDL_RegisterEvents(1);
    if (wakeType == static_cast<Uint32>(-1)) {
        reason = std::string("cannot open a window: ") + SDL_GetError();
        return false;
    }
    m_wakeEventType = wakeType;
    return true;
}

void DesktopWait::Watch(SDL_Window* window)
{
    m_pWindow = window;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info)) {
        return;
    }
#if defined(SDL_VIDEO_DRIVER_WAYLAND) && defined(VELTORA_HAVE_WAYLAND)
    if (info.subsystem == SDL_SYSWM_WAYLAND) {
        m_pWayland = info.info.wl.display;
        return;
    }
#endif
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display) {
        return;
    }
    g_xWindow = info.info.x11.window;
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnXIOError);
    XSetIOErrorExitHandler(info.info.x11.display, OnXIOErrorExit, nullptr);
    // The window destroyed from outside shows as a DestroyNotify among the X events.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd >= 0) {
        m_xFd = ConnectionNumber(info.info.x11.display);
    }
#endif
}

bool DesktopWait::Lost() const
{
#if defined(VELTORA_HAVE_WAYLAND)
    // A connection that failed once stays failed: the compositor went away or hung up on us.
    if (m_pWayland && wl_display_get_error(m_pWayland) != 0) {
        return true;
    }
#endif
#if defined(SDL_VIDEO_DRIVER_X11)
    return m_windowLost || g_xLost.load();
#else
    return m_windowLost;
#endif
}

bool DesktopWait::Take(const SDL_Event& event)
{
    if (event.type == m_wakeEventType) {
        m_wakePending.store(false);
        return true;
    }
    // SDL's Wayland driver answers a compositor that hung up with a quit of its own making,
    // which is no user's quit: the loss is told and ends the run as on X.
    if (event.type == SDL_QUIT) {
        return Lost();
    }
    if (event.type != SDL_SYSWMEVENT) {
        return false;
    }
#if defined(SDL_VIDEO_DRIVER_X11)
    if (event.syswm.msg && event.syswm.msg->subsystem == SDL_SYSWM_X11 &&
        event.syswm.msg->msg.x11.event.type == DestroyNotify) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (m_pWindow && SDL_GetWindowWMInfo(m_pWindow, &info) &&
            event.syswm.msg->msg.x11.event.xdestroywindow.window == info.info.x11.window) {
            m_windowLost = true;
        }
    }
#endif
    return true;
}

void DesktopWait::Wake()
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

DesktopWait::Woke DesktopWait::Wait(int timeoutMs, SDL_Event& event)
{
    if (m_xFd >= 0) {
        // SDL_PollEvent has just emptied Xlib's queue too, so the connection's socket
        // is all there is to watch for desktop events.
        pollfd fds[2] = {{m_xFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) > 0 && (fds[1].revents & POLLIN)) {
            std::uint64_t count = 0;
            const ssize_t got = read(m_wakeFd, &count, sizeof count);
            (void)got; // nonblocking: nothing to read is fine
        }
        if (fds[0].revents & (POLLHUP | POLLERR)) {
            m_windowLost = true;
            return Woke::Lost;
        }
        return Woke::Events;
    }
    return SDL_WaitEventTimeout(&event, timeoutMs) ? Woke::Event : Woke::Nothing;
}

} // namespace sdl
