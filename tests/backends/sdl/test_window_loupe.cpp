// The loupe in the window, on SDL's offscreen driver: the picture's own detail about the
// finger's exact point, never over the readout, the hold button or the finger, and its line
// along the direction the dial measures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/ImageCodec.h"
#include "device/Aiming.h"
#include "device/Holding.h"
#include "instrument/Dial.h"
#include "support/Scratch.h"
#include "support/WindowFiles.h"
#include "support/WindowRig.h"

using testing_support::Crop;
using testing_support::Differing;
using testing_support::Image;
using testing_support::InFolder;
using testing_support::Photo;
using testing_support::Pictures;
using testing_support::ScratchDir;
using testing_support::WindowRig;
using testing_support::WritePicture;

namespace {

// Where the loupe is in the window: the part that differs from the screen, as a box.
struct Found {
    int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;
    bool Any() const { return x1 >= x0; }
};
Found LoupeIn(const Image& shown, const Image& screen)
{
    Found f;
    for (int y = 0; y < shown.height; y++) {
        for (int x = 0; x < shown.width; x++) {
            if (shown.At(x, y) != screen.At(x, y)) {
                f.x0 = std::min(f.x0, x), f.y0 = std::min(f.y0, y), f.x1 = std::max(f.x1, x), f.y1 = std::max(f.y1, y);
            }
        }
    }
    return f;
}

} // namespace

TEST(WindowOffscreen, TheLoupeShowsThePicturesOwnDetailAndFollowsFineDragByFractions)
{
    ScratchDir dir;
    // Stripes one pixel wide, in greens only: on the screen (the picture shrunk to half) they
    // are a flat mean; only the picture's own pixels show them.
    const int w = 1600, h = 960;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            pixels[static_cast<std::size_t>(y) * w + x] = x % 2 ? 0xFF00D000u : 0xFF003000u;
        }
    }
    std::string reason;
    ASSERT_TRUE(codec::WritePngFile(dir.File("stripes.png"), pixels.data(), w, h, w * 4, reason)) << reason;
    WindowRig rig(WindowRig::One(), Photo(dir.File("stripes.png")));
    SKIP_WITHOUT_WINDOW(rig);
    rig.h.Tilt(-90);
    // (Dark green all over is too dark for ShowsScreen's test of a lit screen.)
    ASSERT_TRUE(rig.WaitFor([&] {
        return ((rig.ScreenTurned(0).At(700, 300) >> 8) & 0xFF) > 0x40 &&
               Differing(rig.Shown(), rig.ScreenTurned(0)) <= 40;
    })) << std::hex
        << rig.ScreenTurned(0).At(700, 300) << " " << std::dec << Differing(rig.Shown(), rig.ScreenTurned(0));
    // Pressed beside the hub, where the needles are.
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, 420, 440);
    rig.Settle();
    Found f;
    ASSERT_TRUE(rig.WaitFor([&] { return (f = LoupeIn(rig.Shown(), rig.ScreenTurned(0))).Any(); }));
    const Image loupe = Crop(rig.Shown(), f.x0 + 2, f.y0 + 2, f.x1 - f.x0 - 3, f.y1 - f.y0 - 3);
    int bright = 0, dark = 0, foreign = 0;
    for (std::uint32_t p : loupe.pixels) {
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        bright += r < 40 && b < 40 && g > 180;
        dark += r < 40 && b < 40 && g < 80 && g > 20;
        // The dial's and the needles' colours: red, blue, white; the crosshair is yellow and
        // black, the measuring line cyan.
        foreign += (r > 120 && g < 150) || (b > 120 && g < 150) || (r > 200 && g > 200 && b > 200);
    }
    EXPECT_GT(bright, static_cast<int>(loupe.pixels.size()) / 8) << "the loupe shows no detail of the picture";
    EXPECT_GT(dark, static_cast<int>(loupe.pixels.size()) / 8);
    EXPECT_EQ(foreign, 0) << "the loupe shows the dial or the needles";
    // On the screen the stripes are seen as their mean.
    const std::uint32_t mean = rig.ScreenTurned(0).At(700, 300);
    EXPECT_NEAR(static_cast<int>((mean >> 8) & 0xFF), 0x80, 60);

    // Shift moves the finger a tenth as far: a tenth of a screen pixel, which the application
    // does not see but the loupe does.
    SDL_SetModState(KMOD_LSHIFT);
    const Image before = rig.Shown();
    // One pixel of mouse is two of the picture, a whole stripe pair: without Shift the
    // loupe would show the very same stripes; a tenth of it shows them moved.
    rig.Mouse(SDL_MOUSEMOTION, 0, 421, 440);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] {
        return Differing(Crop(rig.Shown(), f.x0, f.y0, f.x1 - f.x0, f.y1 - f.y0),
                         Crop(before, f.x0, f.y0, f.x1 - f.x0, f.y1 - f.y0)) > 500;
    })) << "the loupe did not follow a fraction of a pixel: "
        << Differing(Crop(rig.Shown(), f.x0, f.y0, f.x1 - f.x0, f.y1 - f.y0),
                     Crop(before, f.x0, f.y0, f.x1 - f.x0, f.y1 - f.y0))
        << " " << Differing(rig.Shown(), before);
    SDL_SetModState(KMOD_NONE);
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 421, 440);
    rig.Settle();
}

TEST(WindowOffscreen, TheLoupeNeverCoversTheReadoutTheHoldButtonOrTheFinger)
{
    InFolder folder;
    WritePicture(folder.Dir().File("still.png"), 800, 480, 7);
    WindowRig rig(WindowRig::One(), Photo(folder.Dir().File("still.png")));
    SKIP_WITHOUT_WINDOW(rig);
    auto form = rig.h.Inspect();
    struct Holding {
        SDL_Keycode key;
        int turns, layout;
        std::pair<int, int> size;
        // The readout's number frame and the hold button, in screen pixels.
        int keep[2][4];
    };
    const Holding holdings[] = {
        {SDLK_1, 0, 2, {800, 480}, {{0, 15, 250, 75}, {721, 15, 785, 81}}},
        {SDLK_2, 1, 0, {480, 800}, {{15, 230, 75, 480}, {15, 15, 79, 81}}},
        {SDLK_3, 2, 3, {800, 480}, {{550, 15, 800, 75}, {15, 15, 79, 81}}},
        {SDLK_4, 3, 1, {480, 800}, {{725, 0, 785, 250}, {721, 399, 785, 465}}},
    };
    for (const Holding& hold : holdings) {
        SCOPED_TRACE(hold.turns);
        rig.Key(hold.key);
        rig.Settle();
        ASSERT_TRUE(rig.TurnedTo(hold.size.first, hold.size.second));
        ASSERT_TRUE(rig.WaitFor([&] { return form.orientation == hold.layout; }));
        for (const auto& at : {std::pair{0.15, 0.2}, std::pair{0.85, 0.2}, std::pair{0.15, 0.8}, std::pair{0.85, 0.8},
                               std::pair{0.5, 0.5}}) {
            const int x = static_cast<int>(hold.size.first * at.first),
                      y = static_cast<int>(hold.size.second * at.second);
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, x, y);
            rig.Settle();
            // Every pixel of the readout and the hold button is the screen's, as Shift+S saves
            // it, and the finger is clear. (Waited for: the window may be a frame behind.)
            std::string why;
            EXPECT_TRUE(rig.WaitFor(
                [&] {
                    const Image shown = rig.Shown(), screen = rig.ScreenTurned(hold.turns);
                    const Found f = LoupeIn(shown, screen);
                    if (!f.Any() || f.x1 - f.x0 < 100) {
                        why = "no loupe";
                        return false;
                    }
                    for (const auto& k : hold.keep) {
                        const device::PointD a =
                            sdl::detail::ScreenToView({double(k[0]), double(k[1])}, 800, 480, hold.turns);
                        const device::PointD b =
                            sdl::detail::ScreenToView({double(k[2]), double(k[3])}, 800, 480, hold.turns);
                        const int x0 = static_cast<int>(std::min(a.x, b.x)), y0 = static_cast<int>(std::min(a.y, b.y));
                        const int x1 = static_cast<int>(std::max(a.x, b.x)), y1 = static_cast<int>(std::max(a.y, b.y));
                        if (Differing(Crop(shown, x0, y0, x1 - x0, y1 - y0), Crop(screen, x0, y0, x1 - x0, y1 - y0),
                                      0) != 0) {
                            why = "the loupe covers " + std::to_string(x0) + "," + std::to_string(y0) + " to " +
                                  std::to_string(x1) + "," + std::to_string(y1);
                            return false;
                        }
                    }
                    if (x + 10 > f.x0 && x - 10 < f.x1 && y + 10 > f.y0 && y - 10 < f.y1) {
                        why = "the loupe is on the finger";
                        return false;
                    }
                    return true;
                },
                3))
                << why;
            rig.Mouse(SDL_MOUSEBUTTONUP, 0, x, y);
            rig.Settle();
        }
    }
}

TEST(WindowOffscreen, TheLoupesLineRunsFromTheDialsMeasuringCentreThroughTheFinger)
{
    ScratchDir dir;
    std::vector<std::uint32_t> grey(800u * 480u, 0xFF606060u);
    std::string reason;
    ASSERT_TRUE(codec::WritePngFile(dir.File("grey.png"), grey.data(), 800, 480, 800 * 4, reason)) << reason;
    WindowRig rig(WindowRig::One(), Photo(dir.File("grey.png")));
    SKIP_WITHOUT_WINDOW(rig);
    rig.h.Tilt(-90);
    auto form = rig.h.Inspect();
    ASSERT_TRUE(rig.WaitFor([&] { return form.orientation == 2; }));
    for (const auto& at : {std::pair{600, 300}, std::pair{150, 420}, std::pair{400, 200}}) {
        SCOPED_TRACE(std::to_string(at.first) + "," + std::to_string(at.second));
        rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, at.first, at.second);
        rig.Settle();
        // The cyan pixels: the two farthest apart give the line's direction.
        double angle = 0;
        ASSERT_TRUE(rig.WaitFor([&] {
            const Image s = rig.Shown();
            std::vector<std::pair<int, int>> cyan;
            for (int y = 0; y < s.height; y++) {
                for (int x = 0; x < s.width; x++) {
                    const std::uint32_t p = s.At(x, y);
                    if (((p >> 16) & 0xFF) < 80 && ((p >> 8) & 0xFF) > 200 && (p & 0xFF) > 200) {
                        cyan.emplace_back(x, y);
                    }
                }
            }
            if (cyan.size() < 60) {
                return false;
            }
            const auto [a, b] = std::minmax_element(cyan.begin(), cyan.end(), [](auto p, auto q) {
                return p.first + p.second * 0.001 < q.first + q.second * 0.001;
            });
            angle = std::atan2(b->second - a->second, b->first - a->first);
            return true;
        })) << "no measuring line in the loupe";
        const device::PointD c = instrument::MeasuringCentreOf(instrument::Dial::Half);
        double want = std::atan2(at.second + 0.5 - c.y, at.first + 0.5 - c.x);
        // A line has no sense of direction.
        double d = std::remainder(angle - want, M_PI);
        EXPECT_LT(std::abs(d) * 180 / M_PI, 1.5) << angle * 180 / M_PI << " against " << want * 180 / M_PI;
        rig.Mouse(SDL_MOUSEBUTTONUP, 0, at.first, at.second);
        rig.Settle();
    }
}
