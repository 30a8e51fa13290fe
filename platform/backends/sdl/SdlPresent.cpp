// The window's picture: the screen handed to SDL's renderer, which turns it as the phone
// is held and scales it into the window (letterboxed), drawn again only when it changed.
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "device/Device.h"
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

int Window::Turns() const
{
    // A portrait form is made to be read upright whichever way the phone is held.
    return m_portraitForm ? 0 : m_heldTurns;
}

int Window::ViewWidth() const { return TurnedSize(m_screenWidth, m_screenHeight, Turns()).w; }
int Window::ViewHeight() const { return TurnedSize(m_screenWidth, m_screenHeight, Turns()).h; }

Window::Rect Window::ViewRect() const
{
    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(m_pRenderer, &outW, &outH);
    const Box b = FitView(outW, outH, ViewWidth(), ViewHeight());
    return {b.x, b.y, b.w, b.h};
}

device::PointD Window::WindowToScreen(double wx, double wy) const
{
    // Window units may be fewer than the renderer's pixels (a dense desktop).
    int winW = 1, winH = 1, outW = 1, outH = 1;
    SDL_GetWindowSize(m_pWindow, &winW, &winH);
    SDL_GetRendererOutputSize(m_pRenderer, &outW, &outH);
    const double ox = wx * outW / std::max(winW, 1);
    const double oy = wy * outH / std::max(winH, 1);
    const Rect r = ViewRect();
    if (r.w <= 0 || r.h <= 0) {
        return {0, 0};
    }
    const device::PointD v{(ox - r.x) * ViewWidth() / r.w, (oy - r.y) * ViewHeight() / r.h};
    return ViewToScreen(v, m_screenWidth, m_screenHeight, Turns());
}

void Window::FollowSensor()
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
    m_pitch = WrapPitch(pitch);
    const int turns = QuarterTurnsForPitch(m_pitch);
    if (turns != m_heldTurns) {
        m_heldTurns = turns;
        m_device.Camera().SetHeldTurns(m_heldTurns);
        m_mustPresent = true;
    }
}

void Window::Refresh()
{
    FollowSensor();
    if (!m_notice.empty() && std::chrono::steady_clock::now() >= m_noticeUntil) {
        m_notice.clear();
        m_mustPresent = true;
    }
    device::Display& screen = m_device.GetDisplay();
    const bool portrait = screen.Portrait();
    if (portrait != m_portraitForm || screen.Version() != m_shownVersion) {
        m_mustPresent = true;
    }
    if (portrait != m_portraitForm) {
        // The help page turns the form: the window takes the new shape at the same scale.
        const int oldW = ViewWidth(), oldH = ViewHeight();
        m_portraitForm = portrait;
        m_screenWidth = screen.Width();
        m_screenHeight = screen.Height();
        FitWindowToView(oldW, oldH);
    }
    if (m_mustPresent) {
        Present();
    }
    UpdateTitle();
}

bool Window::UploadScreen()
{
    device::Display& screen = m_device.GetDisplay();
    m_shownVersion = screen.Version();
    const int width = screen.Width(), height = screen.Height();
    m_screenWidth = width;
    m_screenHeight = height;
    const bool fresh = !m_pScreen || m_textureWidth != width || m_textureHeight != height;
    if (fresh) {
        if (m_pScreen) {
            SDL_DestroyTexture(m_pScreen);
        }
        // In the window's own format where that is 32-bit xRGB (the screen is opaque, so its
        // words are the same), the renderer copies rows instead of converting each pixel.
        const Uint32 native = SDL_GetWindowPixelFormat(m_pWindow);
        const Uint32 format = native == SDL_PIXELFORMAT_RGB888 ? native : Uint32{SDL_PIXELFORMAT_ARGB8888};
        m_pScreen = SDL_CreateTexture(m_pRenderer, format, SDL_TEXTUREACCESS_STREAMING, width, height);
        m_textureWidth = m_pScreen ? width : 0;
        m_textureHeight = m_pScreen ? height : 0;
        if (!m_pScreen) {
            return false;
        }
        // The screen is opaque; blending it would only cost time.
        SDL_SetTextureBlendMode(m_pScreen, SDL_BLENDMODE_NONE);
    }
    // The screen is drawn straight into the texture: one copy of it fewer per frame.
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(m_pScreen, nullptr, &pixels, &pitch) != 0) {
        return false;
    }
    const device::PixelView target{static_cast<std::uint32_t*>(pixels), width, height, pitch};
    if (fresh) {
        // Until the application shows a form nothing paints the screen: black, not garbage.
        for (int y = 0; y < height; y++) {
            std::fill_n(target.Row(y), width, 0xFF000000u);
        }
    }
    // Where the texture keeps what was drawn into it, only changes are drawn after the first time.
    device::PixelRect changed;
    const bool drawn = screen.ComposeChangesInto(target, !fresh && m_textureKeepsPixels, changed);
    SDL_UnlockTexture(m_pScreen);
    return drawn;
}

void Window::Present()
{
    m_mustPresent = false;
    if (!UploadScreen()) {
        static bool told = false;
        if (!told) {
            told = true;
            std::fprintf(stderr, "veltora: cannot draw into the window: %s\n", SDL_GetError());
        }
        return;
    }
    const Rect view = ViewRect();
    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(m_pRenderer, &outW, &outH);
    // Black beside the view only where there is room beside it.
    if (view.x > 0 || view.y > 0 || view.w < outW || view.h < outH) {
        SDL_SetRenderDrawColor(m_pRenderer, 0, 0, 0, 255);
        SDL_RenderClear(m_pRenderer);
    }
    // The renderer turns the screen about the middle of the rectangle it is drawn into,
    // so that rectangle has the screen's own shape, centred on the view.
    const int turns = Turns();
    const bool sideways = turns % 2 == 1;
    SDL_Rect dst;
    dst.w = sideways ? view.h : view.w;
    dst.h = sideways ? view.w : view.h;
    dst.x = view.x + (view.w - dst.w) / 2;
    dst.y = view.y + (view.h - dst.h) / 2;
    // Pixel for pixel the copy is exact; shrunk or enlarged it is filtered.
    const bool exact = view.w == ViewWidth() && view.h == ViewHeight();
    SDL_SetTextureScaleMode(m_pScreen, exact ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    if (turns == 0) {
        SDL_RenderCopy(m_pRenderer, m_pScreen, nullptr, &dst); // the plain copy has the fast path
    } else {
        SDL_RenderCopyEx(m_pRenderer, m_pScreen, nullptr, &dst, 90.0 * turns, nullptr, SDL_FLIP_NONE);
    }
    if (m_fingerDown) {
        DrawLoupe(view);
    }
    if (!m_notice.empty()) {
        DrawNotice(view);
    }
    if (m_keyListShown) {
        DrawKeyList();
    }
    SDL_RenderPresent(m_pRenderer);
}

void Window::FitWindowToView(int oldViewW, int oldViewH)
{
    // Full screen the window is the display: the view is fitted into it as it is.
    if (m_options.fullscreen) {
        m_mustPresent = true;
        return;
    }
    // The window keeps its scale and its centre, and stays on the desktop.
    int w = 0, h = 0, x = 0, y = 0;
    SDL_GetWindowSize(m_pWindow, &w, &h);
    SDL_GetWindowPosition(m_pWindow, &x, &y);
    const int viewW = ViewWidth(), viewH = ViewHeight();
    if (oldViewW <= 0 || oldViewH <= 0 || (oldViewW == viewW && oldViewH == viewH)) {
        return;
    }
    double scale = std::min(double(w) / oldViewW, double(h) / oldViewH);
    SDL_Rect usable;
    const int display = SDL_GetWindowDisplayIndex(m_pWindow);
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
    SDL_SetWindowSize(m_pWindow, newW, newH);
    SDL_SetWindowPosition(m_pWindow, x, y);
    m_mustPresent = true;
}

void Window::UpdateTitle()
{
    // Called at every wait: the title is made again only when what it tells changed.
    TitleState state{m_picture, m_pitch, m_aim.zoom, m_pictureTurns, m_background};
    if (m_titleState == state) {
        return;
    }
    m_titleState = std::move(state);
    // Plain ASCII: SDL converts titles through the C library's locale, which is "C" here,
    // and a title it cannot convert never reaches the window manager.
    std::string source = m_picture.empty() ? std::string("demo scene")
                                           : std::filesystem::path(m_picture).filename().string();
    for (char& c : source) {
        if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20) {
            c = '?';
        }
    }
    std::string title = "Veltora - " + source + " - pitch " + FormatNumber(m_pitch, "%g") + " deg";
    if (std::abs(m_aim.zoom - 1.0) > 1e-9) {
        title += " - zoom " + FormatNumber(m_aim.zoom, "%.2g") + "x";
    }
    if (m_pictureTurns != 0) {
        title += " - picture turned " + std::to_string(90 * m_pictureTurns) + " deg";
    }
    if (m_background) {
        title += " - in the background";
    }
    title += " - H lists the keys";
    if (title != m_title) {
        m_title = title;
        SDL_SetWindowTitle(m_pWindow, m_title.c_str());
    }
}

} // namespace sdl
