// SDL's windows, renderers and textures owned like any other resource: each goes with its
// owner, textures before their renderer and the renderer before its window. SDL stays out
// of this header, so the launcher builds without SDL's include paths.
#pragma once

#include <memory>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace sdl {

struct SdlDestroy {
    void operator()(SDL_Window* p) const;
    void operator()(SDL_Renderer* p) const;
    void operator()(SDL_Texture* p) const;
};

using WindowHandle = std::unique_ptr<SDL_Window, SdlDestroy>;
using RendererHandle = std::unique_ptr<SDL_Renderer, SdlDestroy>;
using TextureHandle = std::unique_ptr<SDL_Texture, SdlDestroy>;

} // namespace sdl
