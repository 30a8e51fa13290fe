// The window's input: the left mouse button or a touch screen's first finger is the finger on
// the phone's screen (the mouse with Shift for fine steps, followed beyond the window while
// held); keys turn and tilt the phone, aim the camera, step through pictures and drive the life cycle.
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "device/Device.h"
#include "sdl/WindowParts.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace sdl {

using namespace detail;

void Window::Handle(const SDL_Event& event)
{
    if (event.type == m_wakeEventType) {
        m_wakePending.store(false);
        return;
    }
    switch (event.type) {
    case SDL_QUIT:
        m_device.RequestTermination();
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
            m_mustPresent = true;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // A finger does not stay on the glass while the user is in another window.
            LiftFinger();
            m_panning = false;
            break;
        default:
            break;
        }
        break;
    case SDL_SYSWMEVENT:
#if defined(SDL_VIDEO_DRIVER_X11)
        if (event.syswm.msg && event.syswm.msg->subsystem == SDL_SYSWM_X11 &&
            event.syswm.msg->msg.x11.event.type == DestroyNotify) {
            SDL_SysWMinfo info;
            SDL_VERSION(&info.version);
            if (SDL_GetWindowWMInfo(m_pWindow, &info) &&
                event.syswm.msg->msg.x11.event.xdestroywindow.window == info.info.x11.window) {
                m_windowLost = true;
            }
        }
#endif
        break;
    case SDL_FINGERDOWN:
    case SDL_FINGERMOTION:
    case SDL_FINGERUP:
        HandleFinger(event);
        break;
    case SDL_MOUSEBUTTONDOWN:
        // A touch is handled as a finger; SDL's mouse made from it would press it twice.
        if (event.button.which == SDL_TOUCH_MOUSEID) {
            break;
        }
        if (m_keyListShown) {
            m_keyListShown = false;
            m_mustPresent = true;
            break;
        }
        if (event.button.button == SDL_BUTTON_LEFT && !m_fingerDown) {
            m_fingerBy = FingerBy::Mouse;
            PressFinger(event.button.x, event.button.y);
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            m_panning = true;
            m_panFrom = {event.button.x, event.button.y};
        } else if (event.button.button == SDL_BUTTON_MIDDLE) {
            AimUnderHub(event.button.x, event.button.y);
        }
        break;
    case SDL_MOUSEMOTION:
        if (event.motion.which == SDL_TOUCH_MOUSEID) {
            break;
        }
        if (m_fingerDown && m_fingerBy == FingerBy::Mouse) {
            MoveFinger(event.motion.x, event.motion.y);
        }
        if (m_panning) {
            // The picture follows the mouse, so the camera turns the other way.
            const device::PointD a = WindowToScreen(m_panFrom.x, m_panFrom.y);
            const device::PointD b = WindowToScreen(event.motion.x, event.motion.y);
            const device::PointD va = ScreenToView(a, m_screenWidth, m_screenHeight, Turns());
            const device::PointD vb = ScreenToView(b, m_screenWidth, m_screenHeight, Turns());
            PanBy(va.x - vb.x, va.y - vb.y);
            m_panFrom = {event.motion.x, event.motion.y};
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.which == SDL_TOUCH_MOUSEID) {
            break;
        }
        if (event.button.button == SDL_BUTTON_LEFT && m_fingerDown && m_fingerBy == FingerBy::Mouse) {
            MoveFinger(event.button.x, event.button.y);
            LiftFinger();
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            m_panning = false;
        }
        break;
    case SDL_MOUSEWHEEL: {
        float steps = event.wheel.preciseY;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
            steps = -steps;
        }
        if (steps != 0.0f && m_portraitForm) {
            ScrollPage(static_cast<double>(steps));
        } else if (steps != 0.0f) {
            // Where the mouse was when the wheel turned, not where it has got to since.
#if SDL_VERSION_ATLEAST(2, 26, 0)
            const Point mouse{event.wheel.mouseX, event.wheel.mouseY};
#else
            Point mouse;
            SDL_GetMouseState(&mouse.x, &mouse.y);
#endif
            ZoomBy(std::pow(kZoomStep, static_cast<double>(steps)), &mouse);
        }
        break;
    }
    case SDL_DROPFILE:
        if (event.drop.file) {
            OpenPicture(event.drop.file);
            SDL_free(event.drop.file);
        }
        break;
    case SDL_KEYDOWN:
        HandleKey(event);
        break;
    case SDL_DISPLAYEVENT:
        m_mustPresent = true;
        break;
    default:
        break;
    }
}

void Window::HandleFinger(const SDL_Event& event)
{
    const SDL_TouchFingerEvent& f = event.tfinger;
    // Touches SDL makes from the mouse (when asked to) are the mouse, handled as such.
    if (f.touchId == SDL_MOUSE_TOUCHID) {
        return;
    }
    const bool ours = m_fingerDown && m_fingerBy == FingerBy::Touch && f.touchId == m_touchId && f.fingerId == m_touchFinger;
    // The point in window units: SDL gives it as a fraction of the window's size.
    int winW = 0, winH = 0;
    SDL_GetWindowSize(m_pWindow, &winW, &winH);
    const double wx = static_cast<double>(f.x) * winW, wy = static_cast<double>(f.y) * winH;
    if (!std::isfinite(wx) || !std::isfinite(wy)) {
        return;
    }
    switch (event.type) {
    case SDL_FINGERDOWN:
        if (m_keyListShown) {
            m_keyListShown = false;
            m_mustPresent = true;
            return;
        }
        // The phone has one finger: the first down holds it, others wait until it lifts.
        if (m_fingerDown) {
            return;
        }
        m_fingerBy = FingerBy::Touch;
        m_touchId = f.touchId;
        m_touchFinger = f.fingerId;
        PressFingerAt(WindowToScreen(wx, wy));
        break;
    case SDL_FINGERMOTION:
    case SDL_FINGERUP: {
        if (!ours) {
            return;
        }
        // A finger is where it touches: no fine steps, and a touch screen ends at its edge.
        const double limit = device::Device::kTouchLimit;
        const device::PointD at = WindowToScreen(wx, wy);
        m_fingerAt = {std::clamp(at.x, -limit, limit), std::clamp(at.y, -limit, limit)};
        m_mouseAt = at;
        const Point p{static_cast<int>(std::floor(m_fingerAt.x)), static_cast<int>(std::floor(m_fingerAt.y))};
        if (p.x != m_finger.x || p.y != m_finger.y) {
            m_finger = p;
            m_moveQueued = true;
            m_mustPresent = true; // the loupe follows
        }
        if (event.type == SDL_FINGERUP) {
            LiftFinger();
        }
        break;
    }
    default:
        break;
    }
}

void Window::HandleKey(const SDL_Event& event)
{
    const SDL_Keycode key = event.key.keysym.sym;
    const bool repeat = event.key.repeat != 0;
    const bool shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
    if (m_keyListShown) {
        // Any key closes the list and does nothing else; a modifier alone is not a key.
        const bool modifier = key == SDLK_LSHIFT || key == SDLK_RSHIFT || key == SDLK_LCTRL || key == SDLK_RCTRL ||
                              key == SDLK_LALT || key == SDLK_RALT || key == SDLK_LGUI || key == SDLK_RGUI;
        if (!modifier && !repeat) {
            m_keyListShown = false;
            m_mustPresent = true;
        }
        return;
    }
    const double pan = shift ? kFinePanStep : kPanStep;
    switch (key) {
    // Keys that step may repeat while held.
    case SDLK_LEFTBRACKET: SetPitch(m_pitch - kPitchStep); return;
    case SDLK_RIGHTBRACKET: SetPitch(m_pitch + kPitchStep); return;
    case SDLK_LEFT: PanBy(-pan, 0); return;
    case SDLK_RIGHT: PanBy(pan, 0); return;
    case SDLK_UP: PanBy(0, -pan); return;
    case SDLK_DOWN: PanBy(0, pan); return;
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS: ZoomBy(kZoomStep, nullptr); return;
    case SDLK_MINUS:
    case SDLK_KP_MINUS: ZoomBy(1.0 / kZoomStep, nullptr); return;
    default: break;
    }
    if (repeat) {
        return;
    }
    switch (key) {
    case SDLK_1:
    case SDLK_KP_1: TurnTo(0, -90.0f); break;
    case SDLK_2:
    case SDLK_KP_2: TurnTo(1, 0.0f); break;
    case SDLK_3:
    case SDLK_KP_3: TurnTo(2, 90.0f); break;
    case SDLK_4:
    case SDLK_KP_4: TurnTo(3, 180.0f); break;
    case SDLK_0:
    case SDLK_KP_0: ToggleWholePicture(); break;
    case SDLK_r: TurnPicture(); break;
    case SDLK_b:
        // A phone tells an application it went to the background once, not twice in a row.
        if (!m_background) {
            m_background = true;
            m_device.PostBackground();
        }
        break;
    case SDLK_f:
        if (m_background) {
            m_background = false;
            m_device.PostForeground();
        }
        break;
    case SDLK_n: StepPicture(1); break;
    case SDLK_p: StepPicture(-1); break;
    case SDLK_s: TakeScreenshot(!shift); break;
    case SDLK_e: LayAlongPicture(false); break;
    case SDLK_c: LayAlongPicture(true); break;
    case SDLK_h:
    case SDLK_F1:
        m_keyListShown = true;
        m_mustPresent = true;
        break;
    case SDLK_q: m_device.RequestTermination(); break;
    default: break;
    }
}

void Window::FlushInput()
{
    if (m_moveQueued) {
        m_moveQueued = false;
        m_device.PostTouch(device::Device::TouchPhase::Move, m_finger.x, m_finger.y);
    }
    if (m_aimChanged) {
        m_aimChanged = false;
        m_device.PostAim(m_aim);
    }
}

void Window::PressFinger(int wx, int wy)
{
    PressFingerAt(WindowToScreen(wx + 0.5, wy + 0.5));
}

void Window::PressFingerAt(device::PointD screenPoint)
{
    FlushInput();
    m_mouseAt = screenPoint;
    // A press in the black beside the screen lands on the screen's nearest edge.
    m_fingerAt = {std::clamp(m_mouseAt.x, 0.5, m_screenWidth - 0.5), std::clamp(m_mouseAt.y, 0.5, m_screenHeight - 0.5)};
    m_finger = {static_cast<int>(std::floor(m_fingerAt.x)), static_cast<int>(std::floor(m_fingerAt.y))};
    m_fingerDown = true;
    m_mustPresent = true; // the loupe
    // The finger follows the mouse out of the window until the button is let go.
    if (m_fingerBy == FingerBy::Mouse) {
        SDL_CaptureMouse(SDL_TRUE);
    }
    m_device.PostTouch(device::Device::TouchPhase::Press, m_finger.x, m_finger.y);
}

void Window::MoveFinger(int wx, int wy)
{
    const device::PointD at = WindowToScreen(wx + 0.5, wy + 0.5);
    const double step = (SDL_GetModState() & KMOD_SHIFT) ? 1.0 / kFineDrag : 1.0;
    const device::PointD before = m_fingerAt;
    m_fingerAt.x += (at.x - m_mouseAt.x) * step;
    m_fingerAt.y += (at.y - m_mouseAt.y) * step;
    m_mouseAt = at;
    const double limit = device::Device::kTouchLimit;
    m_fingerAt = {std::clamp(m_fingerAt.x, -limit, limit), std::clamp(m_fingerAt.y, -limit, limit)};
    // The loupe follows the finger by fractions of a pixel too.
    if (m_fingerAt.x != before.x || m_fingerAt.y != before.y) {
        m_mustPresent = true;
    }
    const Point p{static_cast<int>(std::floor(m_fingerAt.x)), static_cast<int>(std::floor(m_fingerAt.y))};
    if (p.x != m_finger.x || p.y != m_finger.y) {
        m_finger = p;
        m_moveQueued = true;
    }
}

void Window::LiftFinger()
{
    if (!m_fingerDown) {
        return;
    }
    FlushInput();
    m_fingerDown = false;
    m_mustPresent = true;
    if (m_fingerBy == FingerBy::Mouse) {
        SDL_CaptureMouse(SDL_FALSE);
    }
    m_device.PostTouch(device::Device::TouchPhase::Release, m_finger.x, m_finger.y);
}

void Window::ScrollPage(double steps)
{
    // The help page scrolls under a finger: the wheel drags it from the page's middle, away
    // from its back button, as far as a few lines of text a step.
    if (m_fingerDown) {
        return;
    }
    const int dy = static_cast<int>(std::lround(std::clamp(steps, -5.0, 5.0) * kWheelScroll));
    if (dy == 0) {
        return;
    }
    // Centred on the page's middle, so steps one way and back do not press twice at one point.
    const int x = m_screenWidth / 2, y = m_screenHeight / 2 - dy / 2;
    m_device.PostTouch(device::Device::TouchPhase::Press, x, y);
    m_device.PostTouch(device::Device::TouchPhase::Move, x, y + dy / 2);
    m_device.PostTouch(device::Device::TouchPhase::Move, x, y + dy);
    m_device.PostTouch(device::Device::TouchPhase::Release, x, y + dy);
}

void Window::SetPitch(float pitch)
{
    m_pitch = WrapPitch(pitch);
    m_device.PostPitch(m_pitch);
}

void Window::TurnTo(int turns, float pitch)
{
    // Only here does the view turn: the user turned the phone and expects to see it turned.
    const int oldW = ViewWidth(), oldH = ViewHeight();
    m_heldTurns = turns;
    m_device.Camera().SetHeldTurns(m_heldTurns);
    m_mustPresent = true;
    FitWindowToView(oldW, oldH);
    SetPitch(pitch);
}

} // namespace sdl
