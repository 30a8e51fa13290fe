// The loupe, a measuring instrument shown while the finger is down: the camera's own picture
// about the finger's exact point (no dial, no needles), a crosshair on that point and a line
// along the direction the dial measures, placed clear of the readout, the hold button and the finger.
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <cmath>

#include "device/Device.h"
#include "device/Holding.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

namespace {

struct RectD {
    double x0, y0, x1, y1;
    bool Meets(const RectD& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

// Where each layout puts the readout's number frame and the hold button, in screen pixels.
void KeepOutOf(int layout, RectD out[2])
{
    switch (layout) {
    case 0: out[0] = {15, 230, 75, 480}, out[1] = {15, 15, 81, 79}; break;
    case 1: out[0] = {725, 0, 785, 250}, out[1] = {721, 399, 785, 465}; break;
    case 3: out[0] = {550, 15, 800, 75}, out[1] = {15, 15, 79, 81}; break;
    default: out[0] = {0, 15, 250, 75}, out[1] = {721, 15, 785, 81}; break;
    }
}

} // namespace

Window::Rect Window::PlaceLoupe(const Rect& view, int side) const
{
    const double unit = double(view.w) / ViewWidth(); // output pixels to a screen pixel
    // A rectangle of output pixels as one of screen pixels (a quarter turn keeps it a rectangle).
    const auto toScreen = [&](const Rect& r) {
        const device::PointD a = ViewToScreen({(r.x - view.x) / unit, (r.y - view.y) / unit}, m_screenWidth, m_screenHeight, Turns());
        const device::PointD b =
            ViewToScreen({(r.x + r.w - view.x) / unit, (r.y + r.h - view.y) / unit}, m_screenWidth, m_screenHeight, Turns());
        return RectD{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    };
    const device::PointD finger = ScreenToView(m_fingerAt, m_screenWidth, m_screenHeight, Turns());
    const double fx = view.x + finger.x * unit, fy = view.y + finger.y * unit;
    // The finger and the hand about it: a loupe there would hide what it shows.
    const double reach = 24.0;
    RectD keep[3] = {{m_fingerAt.x - reach, m_fingerAt.y - reach, m_fingerAt.x + reach, m_fingerAt.y + reach}, {}, {}};
    const int keeps = m_portraitForm ? 1 : 3;
    if (!m_portraitForm) {
        KeepOutOf(m_device.Tilt().ShownLayout(), keep + 1);
    }
    const int m = std::max(2, side / 20);
    const int left = view.x + m, right = view.x + view.w - m - side, top = view.y + m, bottom = view.y + view.h - m - side;
    const int midX = view.x + (view.w - side) / 2, midY = view.y + (view.h - side) / 2;
    Rect spots[] = {{left, bottom, side, side}, {right, bottom, side, side}, {left, top, side, side},
                    {right, top, side, side},   {left, midY, side, side},   {right, midY, side, side},
                    {midX, bottom, side, side}, {midX, top, side, side}};
    // The farthest from the finger first, so that the hand never covers it.
    std::stable_sort(std::begin(spots), std::end(spots), [&](const Rect& a, const Rect& b) {
        const auto d = [&](const Rect& r) { return std::hypot(r.x + r.w / 2.0 - fx, r.y + r.h / 2.0 - fy); };
        return d(a) > d(b);
    });
    for (const Rect& r : spots) {
        const RectD s = toScreen(r);
        if (std::none_of(keep, keep + keeps, [&](const RectD& k) { return k.Meets(s); })) {
            return r;
        }
    }
    // A window too small to keep everything clear: at least the finger stays in sight.
    for (const Rect& r : spots) {
        if (!keep[0].Meets(toScreen(r))) {
            return r;
        }
    }
    return spots[0];
}

bool Window::DrawLoupePicture(const Rect& dst, double magnify)
{
    // The camera's picture is on the landscape screen only.
    if (m_portraitForm) {
        return false;
    }
    device::CameraSensor& camera = m_device.Camera();
    const device::FrameSize frame = CameraFrame();
    const device::FrameSize picture = camera.PictureSize();
    const device::PointD at = device::FrameToPicture(m_aim, picture, frame, CameraPoint(m_fingerAt));
    // Loupe pixels to a pixel of the picture: the view's scale, magnified.
    const double scale = magnify * device::CoverScale(picture, frame) * device::ClampAim(m_aim).zoom;
    const int side = dst.w;
    if (!m_pLoupe || m_loupeSide != side) {
        if (m_pLoupe) {
            SDL_DestroyTexture(m_pLoupe);
        }
        m_pLoupe = SDL_CreateTexture(m_pRenderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, side, side);
        m_loupeSide = m_pLoupe ? side : 0;
        if (!m_pLoupe) {
            return false;
        }
        SDL_SetTextureBlendMode(m_pLoupe, SDL_BLENDMODE_NONE);
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(m_pLoupe, nullptr, &pixels, &pitch) != 0) {
        return false;
    }
    const device::PixelView out{static_cast<std::uint32_t*>(pixels), side, side, pitch};
    const bool drawn = camera.RenderDetail(m_device.Now(), out, at, scale);
    SDL_UnlockTexture(m_pLoupe);
    if (!drawn) {
        return false;
    }
    const SDL_Rect d{dst.x, dst.y, dst.w, dst.h};
    SDL_RenderCopy(m_pRenderer, m_pLoupe, nullptr, &d);
    return true;
}

void Window::DrawLoupeScreen(const Rect& dst, double magnify)
{
    // A camera that shows no detail: the screen itself, enlarged about the finger's pixel.
    if (!m_pScreen) {
        return;
    }
    const int span = std::min({kLoupeSpan, m_screenWidth, m_screenHeight});
    const int sx = std::clamp(m_finger.x - span / 2, 0, m_screenWidth - span);
    const int sy = std::clamp(m_finger.y - span / 2, 0, m_screenHeight - span);
    const SDL_Rect src{sx, sy, span, span};
    // The part's centre is where the finger's exact point lands (turned as the view is).
    device::PointD off{(sx + span / 2.0 - m_fingerAt.x) * magnify, (sy + span / 2.0 - m_fingerAt.y) * magnify};
    off = ScreenToView({off.x, off.y}, 0, 0, Turns());
    const double w = span * magnify;
    const SDL_FRect part{static_cast<float>(dst.x + dst.w / 2.0 + off.x - w / 2), static_cast<float>(dst.y + dst.h / 2.0 + off.y - w / 2),
                         static_cast<float>(w), static_cast<float>(w)};
    SDL_RenderFlush(m_pRenderer);
    SDL_SetTextureScaleMode(m_pScreen, SDL_ScaleModeNearest);
    SDL_RenderCopyExF(m_pRenderer, m_pScreen, &src, &part, 90.0 * Turns(), nullptr, SDL_FLIP_NONE);
    SDL_RenderFlush(m_pRenderer);
}

void Window::DrawLoupe(const Rect& view)
{
    if (view.w <= 0 || view.h <= 0 || ViewWidth() <= 0) {
        return;
    }
    // Its size follows the window's.
    const int side = static_cast<int>(std::lround(std::min(view.w, view.h) * kLoupeShare));
    if (side < kLoupeSpan) {
        return; // too small a window for a loupe worth having
    }
    const double magnify = double(side) / kLoupeSpan; // loupe pixels to a screen pixel
    const Rect dst = PlaceLoupe(view, side);
    const SDL_Rect box{dst.x, dst.y, dst.w, dst.h};
    SDL_RenderSetClipRect(m_pRenderer, &box);
    SDL_SetRenderDrawColor(m_pRenderer, 0, 0, 0, 255);
    SDL_RenderFillRect(m_pRenderer, &box);
    if (!DrawLoupePicture(dst, magnify)) {
        DrawLoupeScreen(dst, magnify);
    }
    // A point of the screen in the loupe: its centre is the finger's exact point.
    const device::PointD fingerView = ScreenToView(m_fingerAt, m_screenWidth, m_screenHeight, Turns());
    const auto inLoupe = [&](device::PointD screen) {
        const device::PointD v = ScreenToView(screen, m_screenWidth, m_screenHeight, Turns());
        return device::PointD{dst.x + dst.w / 2.0 + (v.x - fingerView.x) * magnify, dst.y + dst.h / 2.0 + (v.y - fingerView.y) * magnify};
    };
    // The crosshair on the finger's exact point, open in the middle so the point stays seen.
    const float cx = static_cast<float>(dst.x + dst.w / 2.0), cy = static_cast<float>(dst.y + dst.h / 2.0);
    const float gap = static_cast<float>(std::max(3.0, magnify * 0.75));
    const float x0 = static_cast<float>(dst.x), y0 = static_cast<float>(dst.y);
    const float x1 = static_cast<float>(dst.x + dst.w), y1 = static_cast<float>(dst.y + dst.h);
    for (const int pass : {0, 1}) {
        const int width = pass == 0 ? 1 : 0; // a dark edge either side, then the bright line
        if (pass == 0) {
            SDL_SetRenderDrawColor(m_pRenderer, 0, 0, 0, 255);
        } else {
            SDL_SetRenderDrawColor(m_pRenderer, 255, 255, 0, 255);
        }
        for (int d = -width; d <= width; d++) {
            SDL_RenderDrawLineF(m_pRenderer, x0, cy + d, cx - gap, cy + d);
            SDL_RenderDrawLineF(m_pRenderer, cx + gap, cy + d, x1, cy + d);
            SDL_RenderDrawLineF(m_pRenderer, cx + d, y0, cx + d, cy - gap);
            SDL_RenderDrawLineF(m_pRenderer, cx + d, cy + gap, cx + d, y1);
        }
    }
    // The direction the dial measures, from its centre through the middle of the finger's
    // pixel: drawn over the crosshair, which it may run along.
    if (!m_portraitForm) {
        const device::PointD c = inLoupe(device::MeasuringCentreOf(m_device.Tilt().ShownDial()));
        const device::PointD f = inLoupe({m_finger.x + 0.5, m_finger.y + 0.5});
        const double len = std::hypot(f.x - c.x, f.y - c.y);
        if (len > 1e-9) {
            const double k = 2.0 * dst.w / len;
            SDL_SetRenderDrawColor(m_pRenderer, 0, 255, 255, 255);
            SDL_RenderDrawLineF(m_pRenderer, static_cast<float>(f.x - (f.x - c.x) * k), static_cast<float>(f.y - (f.y - c.y) * k),
                                static_cast<float>(f.x + (f.x - c.x) * k), static_cast<float>(f.y + (f.y - c.y) * k));
        }
    }
    SDL_RenderSetClipRect(m_pRenderer, nullptr);
    SDL_SetRenderDrawColor(m_pRenderer, 255, 255, 255, 255);
    SDL_RenderDrawRect(m_pRenderer, &box);
}

} // namespace sdl
