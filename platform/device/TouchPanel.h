// The phone's touch panel: one finger's raw points and phases, clamped to what a panel
// can report and handed, on the event thread, to whoever listens.
#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace device {

enum class TouchPhase { Press, Move, Release };

class TouchPanel {
public:
    // No touch panel reports points a million pixels away; keeping them near makes all
    // arithmetic on them safe.
    static constexpr int kLimit = 1000000;

    using Handler = std::function<void(TouchPhase phase, int x, int y)>;
    void SetHandler(Handler handler) { m_handler = std::move(handler); }
    // Those who see every touch just before it is handed on, whoever made it (the device's
    // own finger keeps track of where the needles lie); they cannot stop it. On the event
    // thread, like the touches.
    int AddWatcher(Handler watcher)
    {
        m_watchers.emplace_back(++m_lastWatcher, std::move(watcher));
        return m_lastWatcher;
    }
    void RemoveWatcher(int id)
    {
        std::erase_if(m_watchers, [id](const auto& w) { return w.first == id; });
    }

    // Called on the event thread; without a handler the touch goes nowhere.
    void Deliver(TouchPhase phase, int x, int y) const
    {
        for (const auto& w : m_watchers) {
            w.second(phase, x, y);
        }
        if (m_handler) {
            m_handler(phase, x, y);
        }
    }

private:
    Handler m_handler;
    std::vector<std::pair<int, Handler>> m_watchers;
    int m_lastWatcher = 0;
};

} // namespace device
