// The finger: a press in the black beside the screen lands on its nearest edge, a held mouse
// is followed out of the window, and a touch screen's finger is where it touches.
#include "sdl/SdlFinger.h"

#include <algorithm>
#include <cmath>

#include "device/Device.h"
#include "sdl/ViewGeometry.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

namespace {

device::PointD WithinTouchLimit(device::PointD p)
{
    const double limit = device::Device::kTouchLimit;
    return {std::clamp(p.x, -limit, limit), std::clamp(p.y, -limit, limit)};
}

} // namespace

void Finger::Press(device::PointD at, int screenW, int screenH)
{
    Flush();
    m_mouseAt = at;
    m_at = {std::clamp(at.x, 0.5, screenW - 0.5), std::clamp(at.y, 0.5, screenH - 0.5)};
    m_pixel = {static_cast<int>(std::floor(m_at.x)), static_cast<int>(std::floor(m_at.y))};
    m_down = true;
    // The finger follows the mouse out of the window until the button is let go.
    if (m_by == By::Mouse) {
        SDL_CaptureMouse(SDL_TRUE);
    }
    m_device.PostTouch(device::Device::TouchPhase::Press, m_pixel.x, m_pixel.y);
}

bool Finger::PressMouse(device::PointD at, int screenW, int screenH)
{
    if (m_down) {
        return false;
    }
    m_by = By::Mouse;
    Press(at, screenW, screenH);
    return true;
}

bool Finger::Reach(device::PointD at)
{
    m_at = WithinTouchLimit(at);
    const Pixel p{static_cast<int>(std::floor(m_at.x)), static_cast<int>(std::floor(m_at.y))};
    if (p.x == m_pixel.x && p.y == m_pixel.y) {
        return false;
    }
    m_pixel = p;
    m_moveQueued = true;
    return true;
}

bool Finger::MoveMouse(device::PointD at, bool fine)
{
    if (!ByMouse()) {
        return false;
    }
    const double step = fine ? 1.0 / kFineDrag : 1.0;
    const device::PointD before = m_at;
    const device::PointD moved{m_at.x + (at.x - m_mouseAt.x) * step, m_at.y + (at.y - m_mouseAt.y) * step};
    m_mouseAt = at;
    Reach(moved);
    // The loupe follows the finger by fractions of a pixel too.
    return m_at.x != before.x || m_at.y != before.y;
}

bool Finger::ReleaseMouse(device::PointD at)
{
    if (!ByMouse()) {
        return false;
    }
    MoveMouse(at, (SDL_GetModState() & KMOD_SHIFT) != 0);
    return Lift();
}

bool Finger::Touch(const SDL_Event& event, const ViewShape& view)
{
    const SDL_TouchFingerEvent& f = event.tfinger;
    // Touches SDL makes from the mouse (when asked to) are the mouse, handled as such.
    if (f.touchId == SDL_MOUSE_TOUCHID) {
        return false;
    }
    const double wx = static_cast<double>(f.x) * view.windowW, wy = static_cast<double>(f.y) * view.windowH;
    if (!std::isfinite(wx) || !std::isfinite(wy)) {
        return false;
    }
    const device::PointD at = WindowToScreen(view, wx, wy);
    if (event.type == SDL_FINGERDOWN) {
        // The phone has one finger: the first down holds it, others wait until it lifts.
        if (m_down) {
            return false;
        }
        m_by = By::Touch;
        m_touchId = f.touchId;
        m_touchFinger = f.fingerId;
        Press(at, view.screenW, view.screenH);
        return true;
    }
    const bool ours = m_down && m_by == By::Touch && f.touchId == m_touchId && f.fingerId == m_touchFinger;
    if (!ours || (event.type != SDL_FINGERMOTION && event.type != SDL_FINGERUP)) {
        return false;
    }
    // A finger is where it touches: no fine steps, and a touch screen ends at its edge.
    m_mouseAt = at;
    bool redraw = Reach(at);
    if (event.type == SDL_FINGERUP) {
        redraw = Lift() || redraw;
    }
    return redraw;
}

bool Finger::Lift()
{
    if (!m_down) {
        return false;
    }
    Flush();
    m_down = false;
    if (m_by == By::Mouse) {
        SDL_CaptureMouse(SDL_FALSE);
    }
    m_device.PostTouch(device::Device::TouchPhase::Release, m_pixel.x, m_pixel.y);
    return true;
}

void Finger::Flush()
{
    if (m_moveQueued) {
        m_moveQueued = false;
        m_device.PostTouch(device::Device::TouchPhase::Move, m_pixel.x, m_pixel.y);
    }
}

} // namespace sdl
