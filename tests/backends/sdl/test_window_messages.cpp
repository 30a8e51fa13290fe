// The window's lines for the user: a picture's name quoted escaped (a picture named to take over
// the terminal cannot), a screenshot that cannot be saved, a Wayland display that is none.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "codec/ImageCodec.h"
#include "photo/PhotoSource.h"
#include "sdl/SdlWindow.h"
#include "support/Harness.h"
#include "support/ProcessState.h"
#include "support/Scratch.h"
#include "support/WindowRig.h"

#include <SDL.h>

using testing_support::Harness;
using testing_support::HarnessOptions;

using testing_support::Redirect;

namespace {

// A window on the real clock whose pictures are photos, as the launcher makes it.
struct PictureRig {
    explicit PictureRig(std::function<void(const std::string&)> tell = testing_support::TellOnStderr)
    {
        if (const char* old = std::getenv("SDL_VIDEODRIVER")) {
            oldDriver = old;
        }
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        HarnessOptions o;
        o.clock = device::ClockKind::Real;
        o.tell = std::move(tell);
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
    // Drops a file onto the window.
    void Drop(const std::string& path)
    {
        SDL_Event e{};
        e.type = SDL_DROPFILE;
        e.drop.file = SDL_strdup(path.c_str());
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }
    // Runs the window until `file` holds `text`, for ten seconds at most.
    bool RunUntilIn(const std::string& file, const std::string& text)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            h->RunMs(20);
            if (Read(file).find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    static std::string Read(const std::string& file)
    {
        std::ifstream in(file);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
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

    const std::string outFile = dir.File("stdout.txt"), errFile = dir.File("stderr.txt");
    {
        const Redirect out(STDOUT_FILENO, outFile), err(STDERR_FILENO, errFile);
        rig.Drop(good);
        EXPECT_TRUE(rig.RunUntilIn(outFile, "showing "));
        rig.Drop(broken);
        EXPECT_TRUE(rig.RunUntilIn(errFile, "cannot show "));
    }
    const std::string out = PictureRig::Read(outFile), err = PictureRig::Read(errFile);
    EXPECT_EQ(out, "showing " + dir.File(shown + ".png") + "\n");
    EXPECT_NE(err.find("veltora: cannot show " + dir.File(shown + "-broken.png") + ": "), std::string::npos) << err;
    EXPECT_EQ(err.find('\x1b'), std::string::npos) << err;
    EXPECT_EQ(err.find('\x07'), std::string::npos) << err;
}

TEST(WindowMessages, TheWindowsLinesGoThroughThePhonesChannelForTheUserAndNowhereElse)
{
    // Whoever runs the phone decides where its lines for the user go; the window prints none
    // of its own, whether the line is its own or the picture stepper's.
    std::vector<std::string> told;
    PictureRig rig([&told](const std::string& line) { told.push_back(line); });
    if (!rig.window) {
        GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
    }
    const testing_support::ScratchDir dir;
    const std::vector<std::uint32_t> px(64 * 48, 0xFF808080u);
    std::string why;
    ASSERT_TRUE(codec::WritePngFile(dir.File("a.png"), px.data(), 64, 48, 64 * 4, why)) << why;
    // A PNG's signature and nothing after it: N passes over it and comes round to a.png again.
    std::ofstream(dir.File("b.png")) << "\x89PNG\r\n\x1a\n";
    const std::string errFile = dir.File("stderr.txt"), outFile = dir.File("stdout.txt");
    {
        const Redirect err(STDERR_FILENO, errFile), out(STDOUT_FILENO, outFile);
        rig.Drop(dir.File("missing.png"));
        rig.Drop(dir.File("a.png"));
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = SDLK_n;
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (told.size() < 2 && std::chrono::steady_clock::now() < end) {
            rig.h->RunMs(20);
        }
    }
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].rfind("cannot show " + dir.File("missing.png") + ": ", 0), 0u) << told[0];
    // The stepper's line comes without the prefix the channel adds.
    EXPECT_EQ(told[1].rfind("passed over 1 file in ", 0), 0u) << told[1];
    EXPECT_EQ(PictureRig::Read(errFile), "");
}

TEST(WindowMessages, AScreenshotThatCannotBeSavedIsToldAndFailsTheRun)
{
    std::vector<std::string> told;
    const testing_support::ScopedEnv driver("SDL_VIDEODRIVER", "offscreen");
    HarnessOptions o;
    o.clock = device::ClockKind::Real;
    o.tell = [&told](const std::string& line) { told.push_back(line); };
    Harness h(o);
    sdl::Options options = testing_support::WindowRig::One();
    // A folder that exists and takes no file.
    options.saveTo = "/proc";
    std::string reason;
    auto window = sdl::Window::Open(h.Device(), options, reason);
    if (!window) {
        GTEST_SKIP() << "SDL's offscreen video driver is not available: " << reason;
    }
    EXPECT_FALSE(window->ScreenshotFailed());
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_s;
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (told.empty() && std::chrono::steady_clock::now() < end) {
        h.RunMs(20);
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("cannot save the screenshot: ", 0), 0u) << told[0];
    // The launcher ends such a run with exit code 1, as for a trace it could not write.
    EXPECT_TRUE(window->ScreenshotFailed());
    h.Finish();
}

// WAYLAND_DISPLAY alone, naming what is no compositor: the line names it and says what it is.
TEST(WindowMessages, AWaylandDisplayThatIsNoCompositorIsNamed)
{
    const testing_support::ScratchDir dir;
    const testing_support::ScopedEnv driver("SDL_VIDEODRIVER", ""), x("DISPLAY", ""),
        runtime("XDG_RUNTIME_DIR", dir.Path());
    std::ofstream(dir.File("plain")) << "not a socket";
    // A socket whose listener has gone, as a compositor killed leaves it.
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string dead = dir.File("wayland-dead");
    ASSERT_LT(dead.size(), sizeof addr.sun_path);
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", dead.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    close(fd);

    HarnessOptions o;
    o.clock = device::ClockKind::Real;
    Harness h(o);
    struct Case {
        std::string display, says;
    };
    for (const Case& c :
         {Case{"plain", "WAYLAND_DISPLAY=plain (" + dir.File("plain") + "): a file, not a socket"},
          Case{dir.File("plain"), "WAYLAND_DISPLAY=" + dir.File("plain") + ": a file, not a socket"},
          Case{"wayland-dead", "WAYLAND_DISPLAY=wayland-dead (" + dead + "): nothing listens on the socket"},
          Case{"wayland-none", "WAYLAND_DISPLAY=wayland-none (" + dir.File("wayland-none") + "): no such socket"}}) {
        SCOPED_TRACE(c.display);
        const testing_support::ScopedEnv wayland("WAYLAND_DISPLAY", c.display);
        std::string reason;
        EXPECT_EQ(sdl::Window::Open(h.Device(), testing_support::WindowRig::One(), reason), nullptr);
        EXPECT_EQ(reason.rfind("cannot open a window: ", 0), 0u) << reason;
        EXPECT_NE(reason.find(c.says), std::string::npos) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
    }
    h.Finish();
}
