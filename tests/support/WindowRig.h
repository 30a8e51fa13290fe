// The application on the real clock with its desktop window on SDL's offscreen driver, one
// to one: tests push SDL's own events into it and read back the pixels the window shows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/Display.h"
#include "sdl/SdlWindow.h"
#include "sdl/WindowParts.h"
#include "support/Harness.h"
#include "support/ProcessState.h"
#include "text/Printable.h"

#include <SDL.h>

namespace testing_support {

// The window's lines for the user on stderr, as the launcher prints them.
inline void TellOnStderr(const std::string& message)
{
    std::fprintf(stderr, "veltora: %s\n", text::Printable(message).c_str());
}

// Pixels as 0x00RRGGBB words, rows packed.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// How many pixels of two images differ in a channel by more than `fuzz`; a size mismatch
// counts as all of them.
inline long Differing(const Image& a, const Image& b, int fuzz = 3)
{
    if (a.width != b.width || a.height != b.height) {
        return static_cast<long>(std::max(a.pixels.size(), b.pixels.size())) + 1;
    }
    long n = 0;
    for (std::size_t i = 0; i < a.pixels.size(); i++) {
        for (int shift : {0, 8, 16}) {
            const int d =
                static_cast<int>((a.pixels[i] >> shift) & 0xFF) - static_cast<int>((b.pixels[i] >> shift) & 0xFF);
            if (d > fuzz || d < -fuzz) {
                n++;
                break;
            }
        }
    }
    return n;
}

// The part of an image at (x, y), w x h.
inline Image Crop(const Image& a, int x, int y, int w, int h)
{
    Image c{w, h, {}};
    c.pixels.reserve(static_cast<std::size_t>(w) * h);
    for (int j = y; j < y + h; j++) {
        for (int i = x; i < x + w; i++) {
            c.pixels.push_back(a.At(i, j));
        }
    }
    return c;
}

struct WindowRig {
    ScopedEnv driver{"SDL_VIDEODRIVER", "offscreen"};
    Harness h;
    std::unique_ptr<sdl::Window> window;
    SDL_Window* sdlWindow = nullptr;
    std::string reason;

    explicit WindowRig(sdl::Options options = One(), device::CameraSourceFactory camera = {},
                       const char* videoDriver = "offscreen")
        : driver("SDL_VIDEODRIVER", videoDriver), h([&] {
              HarnessOptions o;
              o.clock = device::ClockKind::Real;
              o.cameraSource = std::move(camera);
              o.tell = TellOnStderr;
              return o;
          }())
    {
        window = sdl::Window::Open(h.Device(), options, reason);
        // The window is the newest SDL knows (a process opens one at a time).
        for (Uint32 id = 1; window && id < 100000; id++) {
            if (SDL_Window* w = SDL_GetWindowFromID(id)) {
                sdlWindow = w;
            }
        }
    }
    ~WindowRig()
    {
        h.Finish();
        window.reset();
    }
    WindowRig(const WindowRig&) = delete;
    WindowRig& operator=(const WindowRig&) = delete;

    static sdl::Options One()
    {
        sdl::Options o;
        o.shrink = 1;
        // S saves where the test runs, never into the user's pictures folder.
        o.saveTo = ".";
        return o;
    }

    // Runs the device until `done` holds, 10 s at most; false if it never did.
    bool WaitFor(const std::function<bool()>& done, double seconds = 10)
    {
        for (double waited = 0; waited < seconds * 1000; waited += 10) {
            if (done()) {
                return true;
            }
            h.RunMs(10);
        }
        return done();
    }
    // Until the window has taken every event pushed so far and the device has run what
    // they posted (the loop runs all that is due before it returns).
    void Settle()
    {
        EXPECT_TRUE(WaitFor([] {
            return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0;
        })) << "the window did not take its events";
        h.RunMs(5);
    }

    void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
    void Key(SDL_Keycode key, Uint16 mod = KMOD_NONE)
    {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.state = SDL_PRESSED;
        e.key.keysym.sym = key;
        e.key.keysym.mod = mod;
        Push(e);
    }
    void Mouse(Uint32 type, Uint32 which, int x, int y, Uint8 button = SDL_BUTTON_LEFT)
    {
        SDL_Event e{};
        e.type = type;
        if (type == SDL_MOUSEMOTION) {
            e.motion.which = which;
            e.motion.state = SDL_BUTTON(button);
            e.motion.x = x;
            e.motion.y = y;
        } else {
            e.button.which = which;
            e.button.button = button;
            e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.button.clicks = 1;
            e.button.x = x;
            e.button.y = y;
        }
        Push(e);
    }
    void Wheel(int x, int y, float steps, bool flipped = false)
    {
        SDL_Event e{};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.y = static_cast<Sint32>(steps);
        e.wheel.preciseY = steps;
        e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        e.wheel.mouseX = x;
        e.wheel.mouseY = y;
        Push(e);
    }

    // As the user resizing the window would.
    void Resize(int width, int height)
    {
        SDL_SetWindowSize(sdlWindow, width, height);
        Settle();
    }
    // After a turn the window keeps its scale within the desktop (SDL's offscreen desktop is
    // 1024x768, too low for the upright phone one to one): waits for the view's shape, then
    // makes it one to one again.
    bool TurnedTo(int width, int height)
    {
        const bool shaped = WaitFor([&] {
            const auto [w, h2] = Size();
            return (w > h2) == (width > height) && w != h2;
        });
        Resize(width, height);
        return shaped && WaitFor([&] { return Size() == std::make_pair(width, height); });
    }
    // Whether the window shows the phone's screen turned `turns`, and the screen shows more
    // than the black it starts with.
    bool ShowsScreen(int turns, long* differing = nullptr)
    {
        const Image want = ScreenTurned(turns);
        const long n = Differing(Shown(), want);
        if (differing) {
            *differing = n;
        }
        const long lit =
            std::count_if(want.pixels.begin(), want.pixels.end(), [](std::uint32_t p) { return p > 0x101010u; });
        return n <= 40 && lit > static_cast<long>(want.pixels.size() / 2);
    }

    std::string Title() const { return sdlWindow ? SDL_GetWindowTitle(sdlWindow) : ""; }
    std::pair<int, int> Size() const
    {
        int w = 0, h2 = 0;
        SDL_GetWindowSize(sdlWindow, &w, &h2);
        return {w, h2};
    }
    // What the window shows now.
    Image Shown() const
    {
        Image img;
        SDL_Renderer* renderer = SDL_GetRenderer(sdlWindow);
        if (!renderer || SDL_GetRendererOutputSize(renderer, &img.width, &img.height) != 0) {
            return {};
        }
        img.pixels.resize(static_cast<std::size_t>(img.width) * img.height);
        if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, img.pixels.data(), img.width * 4) != 0) {
            return {};
        }
        for (std::uint32_t& p : img.pixels) {
            p &= 0xFFFFFFu;
        }
        return img;
    }
    // The phone's own screen turned `turns` quarter turns clockwise, as the window should show it.
    Image ScreenTurned(int turns)
    {
        const device::PixelView s = h.Device().GetDisplay().Compose();
        const sdl::detail::Box size = sdl::detail::TurnedSize(s.width, s.height, turns);
        Image img{size.w, size.h, {}};
        img.pixels.reserve(static_cast<std::size_t>(size.w) * size.h);
        for (int y = 0; y < size.h; y++) {
            for (int x = 0; x < size.w; x++) {
                const device::PointD p = sdl::detail::ViewToScreen({x + 0.5, y + 0.5}, s.width, s.height, turns);
                img.pixels.push_back(s.Row(static_cast<int>(p.y))[static_cast<int>(p.x)] & 0xFFFFFFu);
            }
        }
        return img;
    }
};

} // namespace testing_support
