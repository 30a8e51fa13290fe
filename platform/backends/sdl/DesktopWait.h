// How the window waits for the desktop and the device's timers in one place, is woken by other
// threads, and notices when the window or its X or Wayland connection is taken away from outside.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

struct SDL_Window;
union SDL_Event;
struct wl_display;

namespace sdl {

class DesktopWait {
public:
    DesktopWait() = default;
    ~DesktopWait();
    DesktopWait(const DesktopWait&) = delete;
    DesktopWait& operator=(const DesktopWait&) = delete;

    // SDL's own event for a wake, for desktops where SDL waits; false with SDL's reason.
    bool RegisterWake(std::string& reason);
    // Waits on `window`'s X connection from now on (on X11; elsewhere SDL's own wait is used);
    // on Wayland it watches the compositor's connection.
    void Watch(SDL_Window* window);

    // Whether the window or its display was taken away from outside.
    bool Lost() const;
    // Takes the events that are the wait's own (a wake, the window destroyed under SDL, the
    // quit SDL makes up when the compositor hangs up); false for every other event.
    bool Take(const SDL_Event& event);

    // Wakes the wait from another thread; the event thread is never kept waiting.
    void Wake();
    // The wait is entered on this thread, the event thread.
    void OnEventThread() { m_eventThread.store(std::this_thread::get_id()); }

    enum class Woke {
        Nothing, // the time passed, or a wake
        Events, // desktop events are waiting to be polled
        Event, // SDL's own wait took one: it is in `event`
        Lost, // the connection hung up
    };
    // Waits up to `timeoutMs` (-1: until something comes).
    Woke Wait(int timeoutMs, SDL_Event& event);

private:
    SDL_Window* m_pWindow = nullptr; // not owned
    std::uint32_t m_wakeEventType = 0;
    std::atomic<bool> m_wakePending{false};
    std::atomic<std::thread::id> m_eventThread{};
    // On X11: the X connection's socket and the eventfd that Wake writes to; -1 elsewhere,
    // where SDL's own wait and a pushed event are used.
    int m_xFd = -1;
    int m_wakeFd = -1;
    bool m_windowLost = false;
    // On Wayland: the connection SDL keeps to the compositor (not owned); null elsewhere.
    wl_display* m_pWayland = nullptr;
};

} // namespace sdl
