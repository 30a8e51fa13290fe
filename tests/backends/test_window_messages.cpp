// The window's lines about pictures quote the file's name escaped: a picture dropped onto a
// window on SDL's offscreen driver, named to take over the terminal, cannot.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "codec/ImageCodec.h"
#include "photo/PhotoSource.h"
#include "sdl/SdlWindow.h"
#include "support/Harness.h"
#include "support/Scratch.h"

#include <SDL.h>

using testing_support::Harness;
using testing_support::HarnessOptions;

namespace {

// A window on the real clock whose pictures are photos, as the launcher makes it.
struct PictureRig {
    PictureRig()
    {
        if (const char* old = std::getenv("SDL_VIDEODRIVER")) {
            oldDriver = old;
        }
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        HarnessOptions o;
        o.clock = device::ClockKind::Real;
        h = std::make_unique<Harness>(o);
        sdl::Options options;
        options.shrink = 1;
        options.openPicture = [](const std::string& path) { return std::make_unique<photo::PhotoSource>(path); };
        window = sdl::Window::Open(h->Device(), options, reason);
    }
    ~PictureRig()
    {
        h->Finish();
        window.reset();
        h.reset();
        if (oldDriver.empty()) {
            unsetenv("SDL_VIDEODRIVER");
        } else {
            setenv("SDL_VIDEODRIVER", oldDriver.c_str(), 1);
        }
    }
    // Drops a file onto the window and lets the window take it.
    void Drop(const std::string& path)
    {
        SDL_Event e{};
        e.type = SDL_DROPFILE;
        e.drop.file = SDL_strdup(path.c_str());
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
        h->RunMs(40);
    }

    std::string oldDriver;
    std::unique_ptr<Harness> h;
    std::unique_ptr<sdl::Window> window;
    std::string reason;
};

} // namespace

TEST(WindowMessages, APicturesNameIsEscapedWhetherItShowsOrNot)
{
    PictureRig rig;
    if (!rig.window) {
        GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
    }
    const testing_support::ScratchDir dir;
    const std::string hostile = "evil\x1b]0;owned\x07\x1b[31mred", shown = "evil\\x1b]0;owned\\x07\\x1b[31mred";
    const std::string good = dir.File(hostile + ".png"), broken = dir.File(hostile + "-broken.png");
    const std::vector<std::uint32_t> px(64 * 48, 0xFF808080u);
    std::string why;
    ASSERT_TRUE(codec::WritePngFile(good, px.data(), 64, 48, 64 * 4, why)) << why;

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    rig.Drop(good);
    rig.Drop(broken);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "showing " + dir.File(shown + ".png") + "\n");
    EXPECT_NE(err.find("veltora: cannot show " + dir.File(shown + "-broken.png") + ": "), std::string::npos) << err;
    EXPECT_EQ(err.find('\x1b'), std::string::npos) << err;
    EXPECT_EQ(err.find('\x07'), std::string::npos) << err;
}
