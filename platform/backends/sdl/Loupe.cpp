// The loupe, a measuring instrument shown while the finger is down: the camera's own picture
// about the finger's exact point (no dial, no needles), a crosshair on that point and a line
// along the direction the dial measures, placed clear of the readout, the hold button and the finger.
#include "sdl/Loupe.h"

#include <algorithm>
#include <cmath>

#include "device/Device.h"
#include "device/Holding.h"
#include "instrument/Dial.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

Loupe::Loupe(device::Device& device, const RendererHandle& renderer, const TextureHandle& screen, const Fitted& fitted)
    : m_device(device), m_renderer(renderer), m_screen(screen), m_fitted(fitted)
{}

void Loupe::Abandon() { (void)m_loupe.release(); }

Box Loupe::PlaceLoupe(const Scene& scene, const Box& view, int side) const
{
    const int screenW = scene.view.screenW, screenH = scene.view.screenH, turns = scene.view.turns;
    const device::PointD fingerAt = scene.fingerAt;
    const double unit = double(view.w) / scene.view.ViewW(); // output pixels to a screen pixel
    // A rectangle of output pixels as one of screen pixels (a quarter turn keeps it a rectangle).
    const auto toScreen = [&](const Box& r) {
        const device::PointD a = ViewToScreen({(r.x - view.x) / unit, (r.y - view.y) / unit}, screenW, screenH, turns);
        const device::PointD b =
            ViewToScreen({(r.x + r.w - view.x) / unit, (r.y + r.h - view.y) / unit}, screenW, screenH, turns);
        return instrument::ScreenRect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    };
    const device::PointD finger = ScreenToView(fingerAt, screenW, screenH, turns);
    const double fx = view.x + finger.x * unit, fy = view.y + finger.y * unit;
    // The finger and the hand about it, and the phone's readout and hold button: a loupe
    // there would hide what it shows, or what the user reads.
    const double reach = 24.0;
    instrument::ScreenRect keep[3] = {
        {fingerAt.x - reach, fingerAt.y - reach, fingerAt.x + reach, fingerAt.y + reach}, {}, {}};
    const int keeps = scene.portraitForm ? 1 : 3;
    if (!scene.portraitForm) {
        const instrument::ControlPlaces controls = instrument::ControlsOf(scene.layout);
        keep[1] = controls.readout;
        keep[2] = controls.hold;
    }
    const int m = std::max(2, side / 20);
    const int left = view.x + m, right = view.x + view.w - m - side, top = view.y + m,
              bottom = view.y + view.h - m - side;
    const int midX = view.x + (view.w - side) / 2, midY = view.y + (view.h - side) / 2;
    Box spots[] = {{left, bottom, side, side}, {right, bottom, side, side}, {left, top, side, side},
                   {right, top, side, side},   {left, midY, side, side},    {right, midY, side, side},
                   {midX, bottom, side, side}, {midX, top, side, side}};
    // The farthest from the finger first, so that the hand never covers it.
    std::stable_sort(std::begin(spots), std::end(spots), [&](const Box& a, const Box& b) {
        const auto d = [&](const Box& r) { return std::hypot(r.x + r.w / 2.0 - fx, r.y + r.h / 2.0 - fy); };
        return d(a) > d(b);
    });
    for (const Box& r : spots) {
        const instrument::ScreenRect s = toScreen(r);
        if (std::none_of(keep, keep + keeps, [&](const instrument::ScreenRect& k) { return k.Meets(s); })) {
            return r;
        }
    }
    // A window too small to keep everything clear: at least the finger stays in sight.
    for (const Box& r : spots) {
        if (!keep[0].Meets(toScreen(r))) {
            return r;
        }
    }
    return spots[0];
}

bool Loupe::DrawLoupePicture(const Scene& scene, const Box& dst, double magnify)
{
    // The camera's picture is on the landscape screen only.
    if (scene.portraitForm) {
        return false;
    }
    device::CameraSensor& camera = m_device.Camera();
    const device::FrameSize frame = device::TurnedFrame(kFrame, scene.heldTurns);
    const device::FrameSize picture = camera.PictureSize();
    const device::PointD at =
        device::FrameToPicture(scene.aim, picture, frame, device::TurnPoint(scene.fingerAt, kFrame, scene.heldTurns));
    // Loupe pixels to a pixel of the picture: the view's scale, magnified.
    const double scale = magnify * device::CoverScale(picture, frame) * device::ClampAim(scene.aim).zoom;
    const int side = dst.w;
    if (!m_loupe || m_loupeSide != side) {
        m_loupe.reset();
        m_loupe.reset(
            SDL_CreateTexture(m_renderer.get(), SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, side, side));
        m_loupeSide = m_loupe ? side : 0;
        if (!m_loupe) {
            return false;
        }
        SDL_SetTextureBlendMode(m_loupe.get(), SDL_BLENDMODE_NONE);
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(m_loupe.get(), nullptr, &pixels, &pitch) != 0) {
        return false;
    }
    const device::PixelView out{static_cast<std::uint32_t*>(pixels), side, side, pitch};
    const bool drawn = camera.RenderDetail(m_device.Now(), out, at, scale);
    SDL_UnlockTexture(m_loupe.get());
    if (!drawn) {
        return false;
    }
    const SDL_Rect d{dst.x, dst.y, dst.w, dst.h};
    SDL_RenderCopy(m_renderer.get(), m_loupe.get(), nullptr, &d);
    return true;
}

void Loupe::DrawLoupeScreen(const Scene& scene, const Box& dst, double magnify)
{
    // A camera that shows no detail: the screen itself, enlarged about the finger's pixel.
    if (!m_screen) {
        return;
    }
    const int screenW = scene.view.screenW, screenH = scene.view.screenH;
    const int span = std::min({kLoupeSpan, screenW, screenH});
    const int sx = std::clamp(scene.fingerX - span / 2, 0, screenW - span);
    const int sy = std::clamp(scene.fingerY - span / 2, 0, screenH - span);
    const SDL_Rect src{sx, sy, span, span};
    // The part's centre is where the finger's exact point lands (turned as the view is).
    device::PointD off{(sx + span / 2.0 - scene.fingerAt.x) * magnify, (sy + span / 2.0 - scene.fingerAt.y) * magnify};
    off = ScreenToView({off.x, off.y}, 0, 0, scene.view.turns);
    const double w = span * magnify;
    const SDL_FRect part{static_cast<float>(dst.x + dst.w / 2.0 + off.x - w / 2),
                         static_cast<float>(dst.y + dst.h / 2.0 + off.y - w / 2), static_cast<float>(w),
                         static_cast<float>(w)};
    SDL_RenderFlush(m_renderer.get());
    SDL_SetTextureScaleMode(m_screen.get(), SDL_ScaleModeNearest);
    SDL_RenderCopyExF(m_renderer.get(), m_screen.get(), &src, &part, 90.0 * scene.view.turns, nullptr, SDL_FLIP_NONE);
    SDL_RenderFlush(m_renderer.get());
}

void Loupe::DrawLoupe(const Scene& scene, const Box& view)
{
    SDL_Renderer* const renderer = m_renderer.get();
    const int screenW = scene.view.screenW, screenH = scene.view.screenH, turns = scene.view.turns;
    if (view.w <= 0 || view.h <= 0 || scene.view.ViewW() <= 0) {
        return;
    }
    // Its size follows the window's.
    const int side = static_cast<int>(std::lround(std::min(view.w, view.h) * kLoupeShare));
    if (side < kLoupeSpan) {
        return; // too small a window for a loupe worth having
    }
    const double magnify = double(side) / kLoupeSpan; // loupe pixels to a screen pixel
    const Box dst = PlaceLoupe(scene, view, side);
    const SDL_Rect box{dst.x, dst.y, dst.w, dst.h};
    SDL_RenderSetClipRect(renderer, &box);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderFillRect(renderer, &box);
    if (!DrawLoupePicture(scene, dst, magnify)) {
        DrawLoupeScreen(scene, dst, magnify);
    }
    // A point of the screen in the loupe: its centre is the finger's exact point.
    const device::PointD fingerView = ScreenToView(scene.fingerAt, screenW, screenH, turns);
    const auto inLoupe = [&](device::PointD screen) {
        const device::PointD v = ScreenToView(screen, screenW, screenH, turns);
        return device::PointD{dst.x + dst.w / 2.0 + (v.x - fingerView.x) * magnify,
                              dst.y + dst.h / 2.0 + (v.y - fingerView.y) * magnify};
    };
    // What C or E fitted, at the loupe's scale, under the crosshair.
    if (m_fitted.Any() && !scene.portraitForm) {
        m_fitted.Draw(scene, inLoupe, dst, 1.5f, true);
    }
    // The crosshair on the finger's exact point, open in the middle so the point stays seen.
    const float cx = static_cast<float>(dst.x + dst.w / 2.0), cy = static_cast<float>(dst.y + dst.h / 2.0);
    const float gap = static_cast<float>(std::max(3.0, magnify * 0.75));
    const float x0 = static_cast<float>(dst.x), y0 = static_cast<float>(dst.y);
    const float x1 = static_cast<float>(dst.x + dst.w), y1 = static_cast<float>(dst.y + dst.h);
    for (const int pass : {0, 1}) {
        const int width = pass == 0 ? 1 : 0; // a dark edge either side, then the bright line
        if (pass == 0) {
            SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        } else {
            SDL_SetRenderDrawColor(renderer, 255, 255, 0, 255);
        }
        for (int d = -width; d <= width; d++) {
            SDL_RenderDrawLineF(renderer, x0, cy + d, cx - gap, cy + d);
            SDL_RenderDrawLineF(renderer, cx + gap, cy + d, x1, cy + d);
            SDL_RenderDrawLineF(renderer, cx + d, y0, cx + d, cy - gap);
            SDL_RenderDrawLineF(renderer, cx + d, cy + gap, cx + d, y1);
        }
    }
    // The direction the dial measures, from its centre through the middle of the finger's
    // pixel: drawn over the crosshair, which it may run along.
    if (!scene.portraitForm) {
        const device::PointD c = inLoupe(instrument::MeasuringCentreOf(instrument::DialOfLayout(scene.layout)));
        const device::PointD f = inLoupe({scene.fingerX + 0.5, scene.fingerY + 0.5});
        const double len = std::hypot(f.x - c.x, f.y - c.y);
        if (len > 1e-9) {
            const double k = 2.0 * dst.w / len;
            SDL_SetRenderDrawColor(renderer, 0, 255, 255, 255);
            SDL_RenderDrawLineF(renderer, static_cast<float>(f.x - (f.x - c.x) * k),
                                static_cast<float>(f.y - (f.y - c.y) * k), static_cast<float>(f.x + (f.x - c.x) * k),
                                static_cast<float>(f.y + (f.y - c.y) * k));
        }
    }
    SDL_RenderSetClipRect(renderer, nullptr);
    SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
    SDL_RenderDrawRect(renderer, &box);
}

} // namespace sdl
