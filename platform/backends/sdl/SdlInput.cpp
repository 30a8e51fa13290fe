// The window's input handed to its parts: the left mouse button and a touch screen to the
// finger, the right button, the middle button and the wheel to the aimer, the keys to the key
// table; and what the keys do to the phone (turn, tilt, the life cycle).
#include "sdl/SdlInput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "device/Device.h"
#include "sdl/Aimer.h"
#include "sdl/DesktopWait.h"
#include "sdl/EdgeSearch.h"
#include "sdl/Presenter.h"
#include "sdl/SdlFinger.h"
#include "sdl/SdlPictures.h"
#include "sdl/SdlPresent.h"
#include "sdl/SdlScreenshot.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

Input::Input(device::Device& device, DesktopWait& wait, Held& held, Finger& finger, Aimer& aimer,
             const std::unique_ptr<Presenter>& presenter, Presentation& presentation, Pictures& pictures,
             EdgeSearch& edges, Screenshots& screenshots)
    : m_device(device),
      m_wait(wait),
      m_held(held),
      m_finger(finger),
      m_aimer(aimer),
      m_presenter(presenter),
      m_presentation(presentation),
      m_pictures(pictures),
      m_edges(edges),
      m_screenshots(screenshots)
{}

bool Input::HandlePending()
{
    SDL_Event event;
    bool any = false;
    while (!m_wait.Lost() && SDL_PollEvent(&event)) {
        Handle(event);
        any = true;
    }
    if (any) {
        FlushInput();
    }
    return any;
}

void Input::Handle(const SDL_Event& event)
{
    if (m_wait.Take(event)) {
        return;
    }
    switch (event.type) {
    case SDL_QUIT: m_device.RequestTermination(); break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_DISPLAY_CHANGED: m_presentation.MustPresent(); break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // A finger does not stay on the glass while the user is in another window.
            FlushInput();
            m_presentation.MustPresent(m_finger.Lift());
            m_aimer.StopDrag();
            break;
        default: break;
        }
        break;
    case SDL_FINGERDOWN:
        // What C or E fitted leaves the view at the user's touch; its loupe still shows it.
        m_presentation.MustPresent(m_presenter->FittedToLoupe());
        if (event.tfinger.touchId != SDL_MOUSE_TOUCHID && m_presenter->KeyListShown()) {
            m_presenter->ShowKeyList(false);
            m_presentation.MustPresent();
            break;
        }
        FlushInput();
        m_presentation.MustPresent(m_finger.Touch(event, m_presentation.View()));
        break;
    case SDL_FINGERUP:
        m_presentation.MustPresent(m_presenter->DropFitted());
        FlushInput();
        m_presentation.MustPresent(m_finger.Touch(event, m_presentation.View()));
        break;
    case SDL_FINGERMOTION: m_presentation.MustPresent(m_finger.Touch(event, m_presentation.View())); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL: HandleMouse(event); break;
    case SDL_DROPFILE:
        if (event.drop.file) {
            m_pictures.OpenPicture(event.drop.file);
            SDL_free(event.drop.file);
        }
        break;
    case SDL_KEYDOWN:
        m_presentation.MustPresent(m_presenter->DropFitted());
        HandleKey(event);
        break;
    case SDL_DISPLAYEVENT: m_presentation.MustPresent(); break;
    default: break;
    }
}

void Input::HandleMouse(const SDL_Event& event)
{
    // A touch is handled as a finger; SDL's mouse made from it would press it twice.
    if (event.type != SDL_MOUSEWHEEL && event.button.which == SDL_TOUCH_MOUSEID) {
        return;
    }
    // The middle of the window pixel under the mouse.
    const auto at = [this](int x, int y) { return m_presentation.WindowToScreen(x + 0.5, y + 0.5); };
    switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
        if (m_presenter->KeyListShown()) {
            m_presenter->ShowKeyList(false);
            m_presentation.MustPresent();
            break;
        }
        if (event.button.button == SDL_BUTTON_LEFT && !m_finger.Down()) {
            m_presentation.MustPresent(m_presenter->FittedToLoupe());
            FlushInput();
            m_presentation.MustPresent(
                m_finger.PressMouse(at(event.button.x, event.button.y), m_held.screenWidth, m_held.screenHeight));
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            m_aimer.StartDrag({double(event.button.x), double(event.button.y)});
        } else if (event.button.button == SDL_BUTTON_MIDDLE) {
            m_aimer.AimUnderHub(at(event.button.x, event.button.y));
        }
        break;
    case SDL_MOUSEMOTION: {
        if (m_finger.ByMouse()) {
            const bool fine = (SDL_GetModState() & KMOD_SHIFT) != 0;
            m_presentation.MustPresent(m_finger.MoveMouse(at(event.motion.x, event.motion.y), fine));
        }
        if (!m_aimer.Dragging()) {
            break;
        }
        const ViewShape view = m_presentation.View();
        m_aimer.DragTo({double(event.motion.x), double(event.motion.y)}, [&view](device::PointD w) {
            return ScreenToView(detail::WindowToScreen(view, w.x, w.y), view.screenW, view.screenH, view.turns);
        });
        break;
    }
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && m_finger.ByMouse()) {
            m_presentation.MustPresent(m_presenter->DropFitted());
            FlushInput();
            m_presentation.MustPresent(m_finger.ReleaseMouse(at(event.button.x, event.button.y)));
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            m_aimer.StopDrag();
        }
        break;
    case SDL_MOUSEWHEEL: {
        float steps = event.wheel.preciseY;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
            steps = -steps;
        }
        if (steps != 0.0f && m_held.portraitForm) {
            ScrollPage(static_cast<double>(steps));
        } else if (steps != 0.0f) {
            // Where the mouse was when the wheel turned, not where it has got to since.
#if SDL_VERSION_ATLEAST(2, 26, 0)
            const int mx = event.wheel.mouseX, my = event.wheel.mouseY;
#else
            int mx = 0, my = 0;
            SDL_GetMouseState(&mx, &my);
#endif
            m_aimer.ZoomBy(std::pow(kZoomStep, static_cast<double>(steps)), at(mx, my));
        }
        break;
    }
    default: break;
    }
}

void Input::HandleKey(const SDL_Event& event)
{
    const SDL_Keycode key = event.key.keysym.sym;
    const bool repeat = event.key.repeat != 0;
    if (m_presenter->KeyListShown()) {
        // Any key closes the list and does nothing else; a modifier alone is not a key.
        const bool modifier = key == SDLK_LSHIFT || key == SDLK_RSHIFT || key == SDLK_LCTRL || key == SDLK_RCTRL ||
                              key == SDLK_LALT || key == SDLK_RALT || key == SDLK_LGUI || key == SDLK_RGUI;
        if (!modifier && !repeat) {
            m_presenter->ShowKeyList(false);
            m_presentation.MustPresent();
        }
        return;
    }
    PressKey(*this, key, repeat, (event.key.keysym.mod & KMOD_SHIFT) != 0);
}

void Input::FlushInput()
{
    m_finger.Flush();
    m_aimer.Flush();
}

void Input::ScrollPage(double steps)
{
    // The help page scrolls under a finger: the wheel drags it from the page's middle, away
    // from its back button, as far as a few lines of text a step.
    if (m_finger.Down()) {
        return;
    }
    const int dy = static_cast<int>(std::lround(std::clamp(steps, -5.0, 5.0) * kWheelScroll));
    if (dy == 0) {
        return;
    }
    // Centred on the page's middle, so steps one way and back do not press twice at one point.
    const int x = m_held.screenWidth / 2, y = m_held.screenHeight / 2 - dy / 2;
    m_device.PostTouch(device::Device::TouchPhase::Press, x, y);
    m_device.PostTouch(device::Device::TouchPhase::Move, x, y + dy / 2);
    m_device.PostTouch(device::Device::TouchPhase::Move, x, y + dy);
    m_device.PostTouch(device::Device::TouchPhase::Release, x, y + dy);
}

void Input::SetPitch(float pitch)
{
    m_held.pitch = WrapPitch(pitch);
    m_device.PostPitch(m_held.pitch);
}

void Input::TurnPhone(int turns, float pitch)
{
    // Only here does the view turn: the user turned the phone and expects to see it turned.
    const int oldW = m_held.ViewWidth(), oldH = m_held.ViewHeight();
    m_held.heldTurns = turns;
    m_aimer.Hold(m_held.heldTurns, m_held.portraitForm);
    m_device.Camera().SetHeldTurns(m_held.heldTurns);
    m_presentation.MustPresent();
    m_presentation.FitWindowToView(oldW, oldH);
    SetPitch(pitch);
}

void Input::TiltBy(float degrees) { SetPitch(m_held.pitch + degrees); }
void Input::PanBy(double viewDx, double viewDy) { m_aimer.PanBy(viewDx, viewDy); }
void Input::ZoomBy(double factor) { m_aimer.ZoomBy(factor, std::nullopt); }
void Input::ToggleWholePicture() { m_aimer.ToggleWholePicture(); }

void Input::StepPicture(int direction) { m_pictures.StepPicture(direction); }

void Input::PlayVideo(int step)
{
    const device::Playback what = step == 0  ? device::Playback::Toggle
                                  : step > 0 ? device::Playback::Forward
                                             : device::Playback::Back;
    std::string reason;
    const bool done = m_device.Camera().Play(what, reason);
    // Where the video stands, so a step is seen to be one; a photo or a webcam says why not.
    std::string told = reason;
    if (const std::optional<device::FrameTime> frame = m_device.Camera().ShownFrame(); done && frame) {
        char at[96];
        std::snprintf(at, sizeof at, "frame %lld, %.3f s", static_cast<long long>(frame->index),
                      static_cast<double>(frame->timeUs) / 1e6);
        const bool playing = what == device::Playback::Toggle && !m_device.Camera().Paused();
        told = playing ? std::string("playing") : std::string("paused at ") + at;
    }
    if (m_presenter && !told.empty()) {
        m_presenter->ShowNotice(told);
    }
    m_presentation.MustPresent();
}

void Input::LayAlongPicture(bool corner) { m_edges.LayAlongPicture(corner); }
void Input::FollowCorner() { m_edges.FollowCorner(); }

void Input::TurnPicture()
{
    // A move still on its way goes before the picture turns under it.
    if (!m_held.portraitForm) {
        m_finger.Flush();
    }
    if (m_aimer.TurnPicture()) {
        m_presentation.MustPresent();
    }
}

void Input::SendToBackground()
{
    // A phone tells an application it went to the background once, not twice in a row.
    if (!m_held.background) {
        m_held.background = true;
        m_device.PostBackground();
    }
}

void Input::BringToForeground()
{
    if (m_held.background) {
        m_held.background = false;
        m_device.PostForeground();
    }
}

void Input::TakeScreenshot(bool asSeen) { m_screenshots.TakeScreenshot(asSeen); }

void Input::ShowKeyList()
{
    m_presenter->ShowKeyList(true);
    m_presentation.MustPresent();
}

void Input::Quit() { m_device.RequestTermination(); }

} // namespace sdl
