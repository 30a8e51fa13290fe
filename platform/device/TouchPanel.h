// The phone's touch panel: one finger's raw points and phases, clamped to what a panel
// can report and handed, on the event thread, to whoever listens.
#pragma once

#include <functional>

namespace device {

enum class TouchPhase { Press, Move, Release };

class TouchPanel {
public:
    // No touch panel reports points a million pixels away; keeping them near makes all
    // arithmetic on them safe.
    static constexpr int kLimit = 1000000;

    using Handler = std::function<void(TouchPhase phase, int x, int y)>;
    void SetHandler(Handler handler) { m_handler = std::move(handler); }
    // One who sees every touch just before it is handed on, whoever made it (the device's
    // own finger keeps track of where the needles lie); one at a time, none to stop.
    void SetWatcher(Handler watcher) { m_watcher = std::move(watcher); }

    // Called on the event thread; without a handler the touch goes nowhere.
    void Deliver(TouchPhase phase, int x, int y) const
    {
        if (m_watcher) {
            m_watcher(phase, x, y);
        }
        if (m_handler) {
            m_handler(phase, x, y);
        }
    }

private:
    Handler m_handler;
    Handler m_watcher;
};

} // namespace device
