// What the window shows: the phone's screen handed to SDL's renderer, which turns it as the
// phone is held and scales it into the window, and over it (never in the phone's screen) the
// loupe while the finger is down, a short notice and the key list.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/Aiming.h"
#include "instrument/Finger.h"
#include "sdl/SdlHandles.h"
#include "sdl/ViewGeometry.h"

namespace device {
class Device;
}

namespace sdl {

class Fitted;
class Loupe;
class Overlay;

class Presenter {
public:
    // The renderer for `window`; null with a one-line reason when it cannot draw there.
    static std::unique_ptr<Presenter> Make(device::Device& device, SDL_Window* window, std::string& reason);
    ~Presenter();
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;

    // What is shown at a moment besides the screen itself.
    struct Scene {
        detail::ViewShape view;
        int heldTurns = 0; // the camera's frame turns with the phone
        bool portraitForm = false;
        bool fingerDown = false;
        device::PointD fingerAt; // continuous screen pixels
        int fingerX = 0, fingerY = 0; // the touch pixel
        device::Aim aim;
        int layout = 2; // the phone's layout shown (instrument/LayoutShown.h)
    };
    void Present(const Scene& scene);

    // The renderer's output in pixels (more than the window's units on a dense desktop).
    void OutputSize(int& width, int& height) const;
    // Whether the display has drawn something since it was last shown.
    bool Stale() const;

    // A short line at the view's foot for a moment (a picture saved), or as long as asked; at
    // its top where the foot holds what the line is about (the half dial's hub).
    void ShowNotice(const std::string& text, std::chrono::milliseconds shown = std::chrono::milliseconds(1500),
                    bool atTop = false);
    // The lines C or E fitted and the stretches of the picture they were fitted over, drawn over
    // the picture (never into the phone's screen) until the user's next key or touch; the loupe
    // of that touch still shows them, until its finger lifts.
    void ShowFitted(std::vector<instrument::Stretch> stretches);
    // The user's key: they go. The user's touch: only the loupe shows them. The finger lifted:
    // they go. True when what is drawn changed.
    bool DropFitted();
    bool FittedToLoupe();
    // Drops a notice whose time is up; true when one went.
    bool NoticeEnded();
    bool KeyListShown() const;
    void ShowKeyList(bool shown);

    // The display went away with the window: talking to it again would end the process
    // from inside Xlib, so SDL's handles are left to the system.
    void Abandon();

private:
    Presenter(device::Device& device, SDL_Window* window, RendererHandle renderer);

    bool UploadScreen();
    detail::Box ViewRect(const Scene& scene) const;

    device::Device& m_device;
    SDL_Window* m_pWindow; // not owned: the window outlives its presenter
    RendererHandle m_renderer;

    TextureHandle m_screen;
    int m_textureWidth = 0;
    int m_textureHeight = 0;
    // Whether the screen's texture still holds what was drawn into it at the next lock.
    bool m_textureKeepsPixels = false;
    std::uint64_t m_shownVersion = 0;
    bool m_toldCannotDraw = false;

    // Drawn over the view, never into the phone's screen; they go before the renderer. The
    // loupe shows what was fitted too, so that goes after it.
    std::unique_ptr<Fitted> m_fitted;
    std::unique_ptr<Loupe> m_loupe;
    std::unique_ptr<Overlay> m_overlay;
};

} // namespace sdl
