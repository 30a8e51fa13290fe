// The window's picture: the screen turned as the phone is held, shrunk to fit the desktop,
// drawn again only when it changed, and the title that says how the phone is held.
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
    return m_portraitForm ? 0 : QuarterTurnsForPitch(m_pitch);
}

int Window::ShrinkFor(int viewWidth, int viewHeight) const
{
    if (m_options.shrink > 0) {
        return m_options.shrink;
    }
    int display = m_pWindow ? SDL_GetWindowDisplayIndex(m_pWindow) : 0;
    if (display < 0) {
        display = 0;
    }
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(display, &usable) != 0 || usable.w <= 0 || usable.h <= 0) {
        return 1;
    }
    int n = 1;
    while (n < kMaxShrink && (viewWidth / n > usable.w || viewHeight / n > usable.h)) {
        n++;
    }
    return n;
}

void Window::Refresh()
{
    device::Display& screen = m_device.GetDisplay();
    const bool portrait = screen.Portrait();
    if (portrait != m_portraitForm) {
        m_portraitForm = portrait;
        m_mustPresent = true;
    }
    if (Turns() != m_turns || screen.Version() != m_shownVersion) {
        m_mustPresent = true;
    }
    if (m_mustPresent) {
        Present();
    }
    UpdateTitle();
}

void Window::Present()
{
    m_mustPresent = false;
    device::Display& screen = m_device.GetDisplay();
    m_shownVersion = screen.Version();
    const device::PixelView shot = screen.Compose();
    m_screenWidth = shot.width;
    m_screenHeight = shot.height;
    m_turns = Turns();

    const int W = shot.width;
    const int H = shot.height;
    const bool sideways = m_turns % 2 == 1;
    const int viewW = sideways ? H : W;
    const int viewH = sideways ? W : H;
    m_view.resize(static_cast<size_t>(viewW) * viewH);
    for (int sy = 0; sy < H; sy++) {
        const std::uint32_t* row = shot.Row(sy);
        for (int sx = 0; sx < W; sx++) {
            int vx = sx, vy = sy;
            switch (m_turns) {
            case 1: vx = H - 1 - sy; vy = sx; break;         // turned clockwise
            case 2: vx = W - 1 - sx; vy = H - 1 - sy; break; // upside down
            case 3: vx = sy; vy = W - 1 - sx; break;         // turned counter-clockwise
            default: break;
            }
            m_view[static_cast<size_t>(vy) * viewW + vx] = row[sx];
        }
    }

    // The desktop's size is asked for only when the view turns or the display changes.
    if (viewW != m_shrinkForWidth || viewH != m_shrinkForHeight) {
        m_shrinkForWidth = viewW;
        m_shrinkForHeight = viewH;
        m_shrink = ShrinkFor(viewW, viewH);
    }
    const int outW = viewW / m_shrink;
    const int outH = viewH / m_shrink;
    const std::uint32_t* out = m_view.data();
    if (m_shrink > 1) {
        // Each window pixel is the average of the block of screen pixels it stands for.
        const int n = m_shrink;
        m_small.resize(static_cast<size_t>(outW) * outH);
        for (int oy = 0; oy < outH; oy++) {
            for (int ox = 0; ox < outW; ox++) {
                std::uint32_t a = 0, r = 0, g = 0, b = 0;
                for (int dy = 0; dy < n; dy++) {
                    const std::uint32_t* p = &m_view[static_cast<size_t>(oy * n + dy) * viewW + ox * n];
                    for (int dx = 0; dx < n; dx++) {
                        a += p[dx] >> 24;
                        r += (p[dx] >> 16) & 0xFF;
                        g += (p[dx] >> 8) & 0xFF;
                        b += p[dx] & 0xFF;
                    }
                }
                const std::uint32_t c = static_cast<std::uint32_t>(n * n);
                m_small[static_cast<size_t>(oy) * outW + ox] = (a / c) << 24 | (r / c) << 16 | (g / c) << 8 | (b / c);
            }
        }
        out = m_small.data();
    }

    if (outW != m_windowWidth || outH != m_windowHeight) {
        Resize(outW, outH);
    }

    SDL_Surface* surface = SDL_GetWindowSurface(m_pWindow);
    if (!surface) {
        static bool told = false;
        if (!told) {
            told = true;
            std::fprintf(stderr, "veltora: cannot draw into the window: %s\n", SDL_GetError());
        }
        return;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        return;
    }
    // A window manager may keep the window at another size for a moment: the rest is black.
    if (surface->w != outW || surface->h != outH) {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    }
    const int copyW = std::min(outW, surface->w);
    const int copyH = std::min(outH, surface->h);
    if (copyW > 0 && copyH > 0) {
        SDL_ConvertPixels(copyW, copyH, SDL_PIXELFORMAT_ARGB8888, out, outW * 4, surface->format->format,
                          surface->pixels, surface->pitch);
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    SDL_UpdateWindowSurface(m_pWindow);
}

void Window::Resize(int width, int height)
{
    // The window turns about its centre, as the phone would, and stays on the desktop.
    int x = 0, y = 0;
    SDL_GetWindowPosition(m_pWindow, &x, &y);
    x += (m_windowWidth - width) / 2;
    y += (m_windowHeight - height) / 2;
    int display = SDL_GetWindowDisplayIndex(m_pWindow);
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(display < 0 ? 0 : display, &usable) == 0) {
        x = std::max(usable.x, std::min(x, usable.x + usable.w - width));
        y = std::max(usable.y, std::min(y, usable.y + usable.h - height));
    }
    m_windowWidth = width;
    m_windowHeight = height;
    SDL_SetWindowSize(m_pWindow, width, height);
    SDL_SetWindowPosition(m_pWindow, x, y);
}

void Window::UpdateTitle()
{
    // Plain ASCII: SDL converts titles through the C library's locale, which is "C" here,
    // and a title it cannot convert never reaches the window manager.
    std::string title = "Veltora - pitch " + FormatNumber(m_pitch, "%g") + " deg";
    if (m_aim.zoom > 1.0 + 1e-9) {
        title += " - zoom " + FormatNumber(m_aim.zoom, "%.1f") + "x";
    }
    if (m_background) {
        title += " - in the background";
    }
    if (m_shrink > 1) {
        title += " - shown 1:" + std::to_string(m_shrink);
    }
    title += " - H lists the keys";
    if (title != m_title) {
        m_title = title;
        SDL_SetWindowTitle(m_pWindow, m_title.c_str());
    }
}

} // namespace sdl
