// The phone's touch panel: one finger's raw points and phases, clamped to what a panel
// can report and handed, on the event thread, to whoever listens.
#pragma once

#include <functional>
#include <memory>
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
    // thread, like the touches. A watcher may remove itself or another while it is told: one
    // removed is not told again, not even of the touch in hand.
    int AddWatcher(Handler watcher)
    {
        m_watchers.push_back(std::make_shared<Watcher>(Watcher{++m_lastWatcher, std::move(watcher), false}));
        return m_lastWatcher;
    }
    void RemoveWatcher(int id)
    {
        std::erase_if(m_watchers, [id](const auto& w) {
            if (w->id != id) {
                return false;
            }
            w->removed = true;
            return true;
        });
    }

    // Called on the event thread; without a handler the touch goes nowhere.
    void Deliver(TouchPhase phase, int x, int y) const
    {
        // Told from a copy of the list, each kept alive while it runs.
        const auto watchers = m_watchers;
        for (const auto& w : watchers) {
            if (!w->removed) {
                w->handler(phase, x, y);
            }
        }
        if (m_handler) {
            m_handler(phase, x, y);
        }
    }

private:
    struct Watcher {
        int id;
        Handler handler;
        bool removed;
    };
    Handler m_handler;
    std::vector<std::shared_ptr<Watcher>> m_watchers;
    int m_lastWatcher = 0;
};

} // namespace device
