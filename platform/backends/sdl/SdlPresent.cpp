// When the window draws and in what shape: the view follows the phone as it is held and the
// form (portrait or landscape), the window keeps its scale as the view turns, and the title
// tells what is shown. The presenter does the drawing.
#include "sdl/SdlPresent.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "device/Device.h"
#include "instrument/LayoutShown.h"
#include "sdl/Aimer.h"
#include "sdl/Presenter.h"
#include "sdl/SdlFinger.h"
#include "sdl/SdlPictures.h"
#include "sdl/SdlWindow.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

namespace {

std::string FormatNumber(double value, const char* format)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

} // namespace

Presentation::Presentation(device::Device& device, const Options& options, Held& held, const WindowHandle& window,
                           const std::unique_ptr<Presenter>& presenter, const Finger& finger, Aimer& aimer,
                           const instrument::LayoutShown& layoutShown, const Pictures& pictures)
    : m_device(device),
      m_options(options),
      m_held(held),
      m_window(window),
      m_presenter(presenter),
      m_finger(finger),
      m_aimer(aimer),
      m_layoutShown(layoutShown),
      m_pictures(pictures)
{}

ViewShape Presentation::View() const
{
    ViewShape v;
    v.screenW = m_held.screenWidth;
    v.screenH = m_held.screenHeight;
    v.turns = m_held.Turns();
    SDL_GetWindowSize(m_window.get(), &v.windowW, &v.windowH);
    m_presenter->OutputSize(v.outputW, v.outputH);
    return v;
}

device::PointD Presentation::WindowToScreen(double wx, double wy) const
{
    return detail::WindowToScreen(View(), wx, wy);
}

void Presentation::FollowSensor()
{
    // Full screen on a device with a real tilt sensor, the display is the phone's screen and
    // the view turns as the device is turned (the desktop turns the display with it); in a
    // window, and with the keys, only the keys turn it, as in a phone emulator.
    const device::TiltSensor& tilt = m_device.Tilt();
    if (!m_options.fullscreen || !tilt.Source()) {
        return;
    }
    const float pitch = tilt.Pitch();
    if (!std::isfinite(pitch)) {
        return;
    }
    m_held.pitch = WrapPitch(pitch);
    const int turns = QuarterTurnsForPitch(m_held.pitch);
    if (turns != m_held.heldTurns) {
        m_held.heldTurns = turns;
        m_aimer.Hold(m_held.heldTurns, m_held.portraitForm);
        m_device.Camera().SetHeldTurns(m_held.heldTurns);
        m_mustPresent = true;
    }
}

void Presentation::Refresh()
{
    FollowSensor();
    if (m_presenter->NoticeEnded()) {
        m_mustPresent = true;
    }
    device::Display& screen = m_device.GetDisplay();
    const bool portrait = screen.Portrait();
    if (portrait != m_held.portraitForm || m_presenter->Stale()) {
        m_mustPresent = true;
    }
    if (portrait != m_held.portraitForm) {
        // The help page turns the form: the window takes the new shape at the same scale.
        const int oldW = m_held.ViewWidth(), oldH = m_held.ViewHeight();
        m_held.portraitForm = portrait;
        m_aimer.Hold(m_held.heldTurns, m_held.portraitForm);
        m_held.screenWidth = screen.Width();
        m_held.screenHeight = screen.Height();
        FitWindowToView(oldW, oldH);
    }
    if (m_mustPresent) {
        Present();
    }
    UpdateTitle();
}

void Presentation::Present()
{
    m_mustPresent = false;
    const device::Display& screen = m_device.GetDisplay();
    m_held.screenWidth = screen.Width();
    m_held.screenHeight = screen.Height();
    Presenter::Scene scene;
    scene.view = View();
    scene.heldTurns = m_held.heldTurns;
    scene.portraitForm = m_held.portraitForm;
    scene.fingerDown = m_finger.Down();
    scene.fingerAt = m_finger.At();
    scene.fingerX = m_finger.OnPixel().x;
    scene.fingerY = m_finger.OnPixel().y;
    scene.aim = m_aimer.Aim();
    scene.layout = m_layoutShown.Layout();
    m_presenter->Present(scene);
}

void Presentation::FitWindowToView(int oldViewW, int oldViewH)
{
    // Full screen the window is the display: the view is fitted into it as it is.
    if (m_options.fullscreen) {
        m_mustPresent = true;
        return;
    }
    // The window keeps its scale and its centre, and stays on the desktop.
    int w = 0, h = 0, x = 0, y = 0;
    SDL_GetWindowSize(m_window.get(), &w, &h);
    SDL_GetWindowPosition(m_window.get(), &x, &y);
    const int viewW = m_held.ViewWidth(), viewH = m_held.ViewHeight();
    if (oldViewW <= 0 || oldViewH <= 0 || (oldViewW == viewW && oldViewH == viewH)) {
        return;
    }
    double scale = std::min(double(w) / oldViewW, double(h) / oldViewH);
    SDL_Rect usable;
    const int display = SDL_GetWindowDisplayIndex(m_window.get());
    const bool bounded = SDL_GetDisplayUsableBounds(display < 0 ? 0 : display, &usable) == 0 && usable.w > 0;
    if (bounded) {
        scale = std::min(scale, std::min(double(usable.w) / viewW, double(usable.h) / viewH));
    }
    const int newW = std::max(1, static_cast<int>(std::lround(viewW * scale)));
    const int newH = std::max(1, static_cast<int>(std::lround(viewH * scale)));
    x += (w - newW) / 2;
    y += (h - newH) / 2;
    if (bounded) {
        x = std::max(usable.x, std::min(x, usable.x + usable.w - newW));
        y = std::max(usable.y, std::min(y, usable.y + usable.h - newH));
    }
    SDL_SetWindowSize(m_window.get(), newW, newH);
    SDL_SetWindowPosition(m_window.get(), x, y);
    m_mustPresent = true;
}

void Presentation::UpdateTitle()
{
    // Called at every wait: the title is made again only when what it tells changed.
    TitleState state{m_pictures.Current(), m_held.pitch, m_aimer.Aim().zoom, m_aimer.PictureTurns(), m_held.background};
    if (m_titleState == state) {
        return;
    }
    m_titleState = std::move(state);
    // Plain ASCII: SDL converts titles through the C library's locale, which is "C" here,
    // and a title it cannot convert never reaches the window manager.
    std::string source = m_pictures.Current().empty() ? std::string("demo scene")
                                                      : std::filesystem::path(m_pictures.Current()).filename().string();
    for (char& c : source) {
        if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20) {
            c = '?';
        }
    }
    std::string title = "Veltora - " + source + " - pitch " + FormatNumber(m_held.pitch, "%g") + " deg";
    const double zoom = m_aimer.Aim().zoom;
    if (std::abs(zoom - 1.0) > 1e-9) {
        title += " - zoom " + FormatNumber(zoom, "%.2g") + "x";
    }
    if (m_aimer.PictureTurns() != 0) {
        title += " - picture turned " + std::to_string(90 * m_aimer.PictureTurns()) + " deg";
    }
    if (m_held.background) {
        title += " - in the background";
    }
    title += " - H lists the keys";
    if (title != m_title) {
        m_title = title;
        SDL_SetWindowTitle(m_window.get(), m_title.c_str());
    }
}

void Presentation::ForgetTitle()
{
    // The notice is in the window's title but not in m_title: with both forgotten, the title
    // is set again even when what it tells is what it told before the notice.
    m_titleState.reset();
    m_title.clear();
}

} // namespace sdl
