// The window's input: the left mouse button is the finger on the phone's screen, keys
// hold and tilt the phone, aim the camera and drive the life cycle.
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device/Device.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

Window::Point Window::WindowToScreen(int wx, int wy) const
{
    const int W = m_screenWidth;
    const int H = m_screenHeight;
    const bool sideways = m_turns % 2 == 1;
    const int viewW = sideways ? H : W;
    const int viewH = sideways ? W : H;
    // The middle of the block a shrunk window pixel stands for; a finger dragged off the
    // window stays on the screen's edge, as it would on the glass.
    const int vx = std::clamp(wx * m_shrink + m_shrink / 2, 0, viewW - 1);
    const int vy = std::clamp(wy * m_shrink + m_shrink / 2, 0, viewH - 1);
    switch (m_turns) {
    case 1: return {vy, H - 1 - vx};
    case 2: return {W - 1 - vx, H - 1 - vy};
    case 3: return {W - 1 - vy, vx};
    default: return {vx, vy};
    }
}

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
            m_mustPresent = true;
            break;
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
            m_mustPresent = true;
            m_shrinkForWidth = 0; // another desktop may want another shrink
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
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT && !m_fingerDown) {
            FlushInput();
            m_finger = WindowToScreen(event.button.x, event.button.y);
            m_fingerDown = true;
            m_device.PostTouch(device::Device::TouchPhase::Press, m_finger.x, m_finger.y);
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            m_panning = true;
            m_panFrom = {event.button.x, event.button.y};
        }
        break;
    case SDL_MOUSEMOTION:
        if (m_fingerDown) {
            const Point p = WindowToScreen(event.motion.x, event.motion.y);
            if (p.x != m_finger.x || p.y != m_finger.y) {
                m_finger = p;
                m_moveQueued = true;
            }
        }
        if (m_panning) {
            // The picture follows the mouse, so the camera turns the other way.
            PanBy(-static_cast<double>(event.motion.x - m_panFrom.x) * m_shrink,
                  -static_cast<double>(event.motion.y - m_panFrom.y) * m_shrink);
            m_panFrom = {event.motion.x, event.motion.y};
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && m_fingerDown) {
            m_finger = WindowToScreen(event.button.x, event.button.y);
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
        if (steps != 0.0f) {
            Point mouse;
            SDL_GetMouseState(&mouse.x, &mouse.y);
            ZoomBy(std::pow(kZoomStep, static_cast<double>(steps)), &mouse);
        }
        break;
    }
    case SDL_KEYDOWN:
        HandleKey(event);
        break;
    case SDL_DISPLAYEVENT:
        m_shrinkForWidth = 0;
        m_mustPresent = true;
        break;
    default:
        break;
    }
}

void Window::HandleKey(const SDL_Event& event)
{
    const SDL_Keycode key = event.key.keysym.sym;
    const bool repeat = event.key.repeat != 0;
    const bool shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
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
    case SDLK_KP_1: SetPitch(-90.0f); break;
    case SDLK_2:
    case SDLK_KP_2: SetPitch(0.0f); break;
    case SDLK_3:
    case SDLK_KP_3: SetPitch(90.0f); break;
    case SDLK_4:
    case SDLK_KP_4: SetPitch(180.0f); break;
    case SDLK_0:
    case SDLK_KP_0: SetAim(device::Aim{}); break;
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
    case SDLK_s: TakeScreenshot(); break;
    case SDLK_h:
    case SDLK_F1:
        std::fputs(kKeyHelp, stdout);
        std::fflush(stdout);
        break;
    case SDLK_q:
    case SDLK_ESCAPE: m_device.RequestTermination(); break;
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

void Window::LiftFinger()
{
    if (!m_fingerDown) {
        return;
    }
    FlushInput();
    m_fingerDown = false;
    m_device.PostTouch(device::Device::TouchPhase::Release, m_finger.x, m_finger.y);
}

void Window::SetPitch(float pitch)
{
    m_pitch = WrapPitch(pitch);
    m_device.PostPitch(m_pitch);
}

} // namespace sdl
