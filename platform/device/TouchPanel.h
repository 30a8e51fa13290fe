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

    // Called on the event thread; without a handler the touch goes nowhere.
    void Deliver(TouchPhase phase, int x, int y) const
    {
        if (m_handler) {
            m_handler(phase, x, y);
        }
    }

private:
    Handler m_handler;
};

} // namespace device
