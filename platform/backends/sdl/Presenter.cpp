// The presenter: the screen drawn straight into a streaming texture (only what changed, where
// the renderer keeps the texture's pixels), turned and letterboxed into the window.
#include "sdl/Presenter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "device/Device.h"
#include "instrument/Dial.h"
#include "sdl/Fitted.h"
#include "sdl/Loupe.h"
#include "sdl/SdlOverlay.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

void SdlDestroy::operator()(SDL_Window* p) const { SDL_DestroyWindow(p); }
void SdlDestroy::operator()(SDL_Renderer* p) const { SDL_DestroyRenderer(p); }
void SdlDestroy::operator()(SDL_Texture* p) const { SDL_DestroyTexture(p); }

std::unique_ptr<Presenter> Presenter::Make(device::Device& device, SDL_Window* window, std::string& reason)
{
    RendererHandle renderer(SDL_CreateRenderer(window, -1, 0));
    if (!renderer) {
        reason = std::string("cannot draw into a window: ") + SDL_GetError();
        return nullptr;
    }
    return std::unique_ptr<Presenter>(new Presenter(device, window, std::move(renderer)));
}

Presenter::Presenter(device::Device& device, SDL_Window* window, RendererHandle renderer)
    : m_device(device),
      m_pWindow(window),
      m_renderer(std::move(renderer)),
      m_fitted(std::make_unique<Fitted>(device, m_renderer)),
      m_loupe(std::make_unique<Loupe>(device, m_renderer, m_screen, *m_fitted)),
      m_overlay(std::make_unique<Overlay>(m_renderer))
{
    // SDL does not promise that a streaming texture keeps its pixels between locks; these
    // renderers keep them in memory of their own, so only changes need drawing into it.
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(m_renderer.get(), &info) == 0 && info.name) {
        for (const char* keeping : {"software", "opengl", "opengles2"}) {
            m_textureKeepsPixels = m_textureKeepsPixels || std::strcmp(info.name, keeping) == 0;
        }
    }
}

Presenter::~Presenter() = default;

void Presenter::Abandon()
{
    m_overlay->Abandon();
    m_loupe->Abandon();
    (void)m_screen.release();
    (void)m_renderer.release();
}

void Presenter::OutputSize(int& width, int& height) const
{
    width = 0;
    height = 0;
    SDL_GetRendererOutputSize(m_renderer.get(), &width, &height);
}

void Presenter::ShowNotice(const std::string& text, std::chrono::milliseconds shown, bool atTop)
{
    m_overlay->ShowNotice(text, shown, atTop);
}
void Presenter::ShowFitted(std::vector<instrument::Stretch> stretches) { m_fitted->Show(std::move(stretches)); }
bool Presenter::DropFitted() { return m_fitted->Drop(); }
bool Presenter::FittedToLoupe() { return m_fitted->ToLoupe(); }
bool Presenter::NoticeEnded() { return m_overlay->NoticeEnded(); }
bool Presenter::KeyListShown() const { return m_overlay->KeyListShown(); }
void Presenter::ShowKeyList(bool shown) { m_overlay->ShowKeyList(shown); }

bool Presenter::Stale() const { return m_device.GetDisplay().Version() != m_shownVersion; }

Box Presenter::ViewRect(const Scene& scene) const { return scene.view.Fitted(); }

bool Presenter::UploadScreen()
{
    device::Display& screen = m_device.GetDisplay();
    m_shownVersion = screen.Version();
    const int width = screen.Width(), height = screen.Height();
    const bool fresh = !m_screen || m_textureWidth != width || m_textureHeight != height;
    if (fresh) {
        m_screen.reset();
        // In the window's own format where that is 32-bit xRGB (the screen is opaque, so its
        // words are the same), the renderer copies rows instead of converting each pixel.
        const Uint32 native = SDL_GetWindowPixelFormat(m_pWindow);
        const Uint32 format = native == SDL_PIXELFORMAT_RGB888 ? native : Uint32{SDL_PIXELFORMAT_ARGB8888};
        m_screen.reset(SDL_CreateTexture(m_renderer.get(), format, SDL_TEXTUREACCESS_STREAMING, width, height));
        m_textureWidth = m_screen ? width : 0;
        m_textureHeight = m_screen ? height : 0;
        if (!m_screen) {
            return false;
        }
        // The screen is opaque; blending it would only cost time.
        SDL_SetTextureBlendMode(m_screen.get(), SDL_BLENDMODE_NONE);
    }
    // The screen is drawn straight into the texture: one copy of it fewer per frame.
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(m_screen.get(), nullptr, &pixels, &pitch) != 0) {
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
    SDL_UnlockTexture(m_screen.get());
    return drawn;
}

void Presenter::Present(const Scene& scene)
{
    if (!UploadScreen()) {
        if (!m_toldCannotDraw) {
            m_toldCannotDraw = true;
            m_device.Tell(__func__, __LINE__, std::string("cannot draw into the window: ") + SDL_GetError());
        }
        return;
    }
    SDL_Renderer* renderer = m_renderer.get();
    const Box view = ViewRect(scene);
    int outW = 0, outH = 0;
    OutputSize(outW, outH);
    // Black beside the view only where there is room beside it.
    if (view.x > 0 || view.y > 0 || view.w < outW || view.h < outH) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
    }
    // The renderer turns the screen about the middle of the rectangle it is drawn into,
    // so that rectangle has the screen's own shape, centred on the view.
    const int turns = scene.view.turns;
    const bool sideways = turns % 2 == 1;
    SDL_Rect dst;
    dst.w = sideways ? view.h : view.w;
    dst.h = sideways ? view.w : view.h;
    dst.x = view.x + (view.w - dst.w) / 2;
    dst.y = view.y + (view.h - dst.h) / 2;
    // Pixel for pixel the copy is exact; shrunk or enlarged it is filtered.
    const bool exact = view.w == scene.view.ViewW() && view.h == scene.view.ViewH();
    SDL_SetTextureScaleMode(m_screen.get(), exact ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    if (turns == 0) {
        SDL_RenderCopy(renderer, m_screen.get(), nullptr, &dst); // the plain copy has the fast path
    } else {
        SDL_RenderCopyEx(renderer, m_screen.get(), nullptr, &dst, 90.0 * turns, nullptr, SDL_FLIP_NONE);
    }
    if (m_fitted->OverView() && !scene.portraitForm) {
        const double unit = double(view.w) / scene.view.ViewW(); // output pixels to a screen pixel
        m_fitted->Draw(
            scene,
            [&](device::PointD screen) {
                const device::PointD v = ScreenToView(screen, scene.view.screenW, scene.view.screenH, turns);
                return device::PointD{view.x + v.x * unit, view.y + v.y * unit};
            },
            view, static_cast<float>(std::clamp(unit * 3.0, 2.5, 5.0)), false);
    }
    if (scene.fingerDown) {
        m_loupe->DrawLoupe(scene, view);
    }
    if (m_overlay->NoticeShown()) {
        // The readout and the buttons as drawn on the view: a notice must leave them to be read.
        std::vector<Box> keep;
        if (!scene.portraitForm) {
            const double unit = double(view.w) / scene.view.ViewW();
            const instrument::ControlPlaces c = instrument::ControlsOf(scene.layout);
            for (const instrument::ScreenRect& r : {c.readout, c.hold, c.infoPress}) {
                const device::PointD a = ScreenToView({r.x0, r.y0}, scene.view.screenW, scene.view.screenH, turns);
                const device::PointD b = ScreenToView({r.x1, r.y1}, scene.view.screenW, scene.view.screenH, turns);
                keep.push_back({view.x + static_cast<int>(std::floor(std::min(a.x, b.x) * unit)),
                                view.y + static_cast<int>(std::floor(std::min(a.y, b.y) * unit)),
                                static_cast<int>(std::ceil(std::abs(b.x - a.x) * unit)),
                                static_cast<int>(std::ceil(std::abs(b.y - a.y) * unit))});
            }
        }
        m_overlay->DrawNotice(view, keep);
    }
    if (m_overlay->KeyListShown()) {
        m_overlay->DrawKeyList(view);
    }
    SDL_RenderPresent(renderer);
}

} // namespace sdl
