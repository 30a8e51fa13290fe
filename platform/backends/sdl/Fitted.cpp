// What C and E fitted, drawn over the picture so the user checks it at a glance: each line
// across the whole view, thin, and the stretch of the picture it was fitted over, bold.
#include "sdl/Fitted.h"

#include <algorithm>
#include <cmath>

#include "device/Device.h"
#include "instrument/SeenPicture.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

namespace {

struct Rgba {
    Uint8 r, g, b, a;
};

// A line `width` output pixels wide from a to b, as two triangles (SDL draws only hairlines).
void Band(SDL_Renderer* renderer, device::PointD a, device::PointD b, float width, Rgba c)
{
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    if (!(len > 1e-6) || !std::isfinite(len)) {
        return;
    }
    const double nx = -(b.y - a.y) / len * width / 2, ny = (b.x - a.x) / len * width / 2;
    const SDL_Color colour{c.r, c.g, c.b, c.a};
    const auto at = [&](double x, double y) {
        return SDL_Vertex{{static_cast<float>(x), static_cast<float>(y)}, colour, {0, 0}};
    };
    const SDL_Vertex v[4] = {at(a.x + nx, a.y + ny), at(b.x + nx, b.y + ny), at(b.x - nx, b.y - ny),
                             at(a.x - nx, a.y - ny)};
    const int order[6] = {0, 1, 2, 0, 2, 3};
    SDL_RenderGeometry(renderer, nullptr, v, 4, order, 6);
}

} // namespace

void Fitted::Show(std::vector<instrument::Stretch> stretches)
{
    m_stretches = std::move(stretches);
    m_overView = !m_stretches.empty();
}

bool Fitted::Drop()
{
    const bool shown = !m_stretches.empty();
    m_stretches.clear();
    m_overView = false;
    return shown;
}

bool Fitted::ToLoupe()
{
    const bool changed = m_overView;
    m_overView = false;
    return changed;
}

void Fitted::Draw(const Presenter::Scene& scene, const std::function<device::PointD(device::PointD)>& place,
                  const Box& clip, float width, bool fine) const
{
    device::CameraSensor& camera = m_device.Camera();
    // The stretches are fractions of the source's own picture, which the user sees turned.
    const device::FrameSize seen = camera.PictureSize();
    const int pictureTurns = camera.PictureTurns();
    if (seen.width <= 0 || seen.height <= 0) {
        return;
    }
    const instrument::SeenPicture picture{pictureTurns % 2 ? device::FrameSize{seen.height, seen.width} : seen,
                                          pictureTurns, scene.heldTurns};
    const auto onScreen = [&](device::PointD fraction) {
        return instrument::SourceToFrame(scene.aim, picture, kFrame, fraction);
    };
    SDL_Renderer* renderer = m_renderer.get();
    SDL_Rect before;
    const bool clipped = SDL_RenderIsClipEnabled(renderer);
    SDL_RenderGetClipRect(renderer, &before);
    const SDL_Rect box{clip.x, clip.y, clip.w, clip.h};
    SDL_RenderSetClipRect(renderer, &box);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    // Each line runs on past its stretch across the view, so where two meet shows; dark under
    // light, so that it reads on any picture.
    const double reach = 4.0 * (clip.w + clip.h);
    for (const instrument::Stretch& s : m_stretches) {
        const device::PointD a = place(onScreen(s.from)), b = place(onScreen(s.to));
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        if (!(len > 1e-6)) {
            continue;
        }
        const device::PointD u{(b.x - a.x) / len, (b.y - a.y) / len};
        const device::PointD far0{a.x - u.x * reach, a.y - u.y * reach}, far1{b.x + u.x * reach, b.y + u.y * reach};
        if (!fine) {
            Band(renderer, far0, far1, width * 0.5f + 2.0f, {0, 0, 0, 150});
        }
        Band(renderer, far0, far1, width * 0.5f, {255, 255, 255, 200});
    }
    // The stretches in magenta, which few pictures hold, on a black edge, with a bar across
    // each end so their reach shows where they lie along an edge of like colour.
    for (const instrument::Stretch& s : m_stretches) {
        const device::PointD a = place(onScreen(s.from)), b = place(onScreen(s.to));
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        if (!(len > 1e-6)) {
            continue;
        }
        const double bar = 2.5 * width + 4.0;
        const device::PointD n{-(b.y - a.y) / len * bar, (b.x - a.x) / len * bar};
        for (const bool edge : {true, false}) {
            // Magnified, the edge itself must show beside the line: no black edge there.
            if (edge && fine) {
                continue;
            }
            const float w = edge ? width + 3.0f : width;
            const Rgba c = edge ? Rgba{0, 0, 0, 230} : Rgba{255, 0, 255, 255};
            Band(renderer, a, b, w, c);
            for (const device::PointD& end : {a, b}) {
                Band(renderer, {end.x - n.x, end.y - n.y}, {end.x + n.x, end.y + n.y}, w, c);
            }
        }
    }
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    SDL_RenderSetClipRect(renderer, clipped ? &before : nullptr);
}

} // namespace sdl
