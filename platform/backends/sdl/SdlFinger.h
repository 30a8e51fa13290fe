// The phone's finger in the window: the left mouse button or a touch screen's first finger,
// turned into the device's touches. The other waits until it lifts; moves are gathered and
// sent once per batch of events.
#pragma once

#include <cstdint>

#include "device/Aiming.h"

union SDL_Event;

namespace device {
class Device;
}

namespace sdl {

namespace detail {
struct ViewShape;
}

class Finger {
public:
    struct Pixel {
        int x = 0;
        int y = 0;
    };

    explicit Finger(device::Device& device) : m_device(device) {}

    // The left button pressed, moved (Shift: `fine`) and let go, at screen points. Each
    // returns whether the window must be drawn again (the loupe follows).
    bool PressMouse(device::PointD at, int screenW, int screenH);
    bool MoveMouse(device::PointD at, bool fine);
    bool ReleaseMouse(device::PointD at);
    // A touch screen's finger event; its point is a fraction of the window.
    bool Touch(const SDL_Event& event, const detail::ViewShape& view);
    // Lets go of the screen (the window lost the focus); true when a finger was down.
    bool Lift();
    // Sends a move still gathered.
    void Flush();

    bool Down() const { return m_down; }
    bool ByMouse() const { return m_down && m_by == By::Mouse; }
    // Where the finger is, in continuous screen pixels, and the touch pixel it sends.
    device::PointD At() const { return m_at; }
    Pixel OnPixel() const { return m_pixel; }

private:
    enum class By { Mouse, Touch };
    void Press(device::PointD at, int screenW, int screenH);
    // The pixel for the finger's point; gathers a move when it changed.
    bool Reach(device::PointD at);

    device::Device& m_device;
    bool m_down = false;
    By m_by = By::Mouse;
    std::int64_t m_touchId = 0; // the touch screen and its finger that hold the phone's finger
    std::int64_t m_touchFinger = 0;
    bool m_moveQueued = false;
    Pixel m_pixel;
    // With Shift the finger moves a tenth as far as the mouse, so the two are kept apart.
    device::PointD m_at;
    device::PointD m_mouseAt;
};

} // namespace sdl
