// Turns touches at screen points into the touch callbacks of controls: the topmost
// shown control under the finger that takes touches gets the press and keeps the
// whole gesture; buttons press and fire, scroll panels scroll.
#pragma once

#include "device/EventLoop.h"
#include "osp/Graphics.h"
#include "osp/Ui.h"

namespace ui {

class Screen;

class TouchRouter {
public:
    static constexpr device::Micros kLongPress = 800 * device::kMicrosPerMilli;
    static constexpr device::Micros kDoublePress = 300 * device::kMicrosPerMilli;
    static constexpr int kStillRadius = 8; // pixels a finger may wander and still be "still"

    TouchRouter(device::EventLoop& loop, Screen& screen) : m_loop(loop), m_screen(screen) {}

    void Press(int x, int y);
    void Move(int x, int y);
    void Release(int x, int y);
    // Ends a gesture in progress without acting on it: the control hears the finger
    // lifted, a pressed button lets go without firing (the application is leaving).
    void Cancel();
    // Forgets the gesture (the application ended, or its control went away).
    void Reset();

    // The topmost shown control at a form point that takes touches, or null.
    static Osp::Ui::Control* HitTest(Osp::Ui::Control& root, int x, int y);
    // The control's top-left corner in form coordinates (scrolling included).
    static Osp::Graphics::Point FormPosition(const Osp::Ui::Control& control);

private:
    enum class Kind { Pressed, LongPressed, Released, Moved, DoublePressed, FocusIn, FocusOut };
    void Deliver(Kind kind, int x, int y);
    bool CapturedStillThere() const;
    void OnLongPressDue();

    device::EventLoop& m_loop;
    Screen& m_screen;
    Osp::Ui::Control* m_pCaptured = nullptr;
    Osp::Graphics::Point m_start;
    Osp::Graphics::Point m_last;
    bool m_inside = false;
    bool m_moved = false;
    device::EventLoop::TimerId m_longPressTimer = 0;
    Osp::Ui::Control* m_pLastPressed = nullptr;
    device::Micros m_lastPressTime = -1;
    Osp::Graphics::Point m_lastPressPoint;
};

} // namespace ui
