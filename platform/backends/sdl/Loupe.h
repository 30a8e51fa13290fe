// The loupe shown while the finger is down: the camera's own picture (or the screen) enlarged
// about the finger's exact point, drawn over the view and never into the phone's screen.
#pragma once

#include "device/Device.h"
#include "sdl/Fitted.h"
#include "sdl/Presenter.h"
#include "sdl/SdlHandles.h"
#include "sdl/ViewGeometry.h"

namespace sdl {

class Loupe {
public:
    // Draws with the presenter's renderer; the screen's texture is enlarged when the camera
    // shows no detail. Both are the presenter's and outlive this.
    Loupe(device::Device& device, const RendererHandle& renderer, const TextureHandle& screen, const Fitted& fitted);
    Loupe(const Loupe&) = delete;
    Loupe& operator=(const Loupe&) = delete;

    void DrawLoupe(const Presenter::Scene& scene, const detail::Box& view);
    // The display went away: the texture is left to the system with the renderer.
    void Abandon();

private:
    using Scene = Presenter::Scene;

    detail::Box PlaceLoupe(const Scene& scene, const detail::Box& view, int side) const;
    bool DrawLoupePicture(const Scene& scene, const detail::Box& dst, double magnify);
    void DrawLoupeScreen(const Scene& scene, const detail::Box& dst, double magnify);

    device::Device& m_device;
    const RendererHandle& m_renderer;
    const TextureHandle& m_screen;
    // What C or E fitted, which the loupe shows at its own scale.
    const Fitted& m_fitted;

    TextureHandle m_loupe;
    int m_loupeSide = 0;
};

} // namespace sdl
