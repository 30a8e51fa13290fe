// What the window keeps between runs and where S saves: on SDL's offscreen driver, a
// window's size, place and picture come back in the next window; a broken settings file is
// one line, kept aside, and the defaults; S lands in the pictures folder or --save-to's.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "codec/ImageCodec.h"
#include "photo/PhotoSource.h"
#include "sdl/SdlWindow.h"
#include "sdl/WindowPlace.h"
#include "support/Harness.h"
#include "support/ProcessState.h"
#include "support/Scratch.h"
#include "support/WindowRig.h"

#include <SDL.h>

using testing_support::Harness;
using testing_support::HarnessOptions;
using testing_support::Redirect;
using testing_support::ScratchDir;
using Env = testing_support::ScopedEnv;

namespace {

std::string Read(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A window as the launcher makes it, on the offscreen driver and the real clock.
struct Rig {
    explicit Rig(sdl::Options options) : driver("SDL_VIDEODRIVER", "offscreen")
    {
        HarnessOptions o;
        o.clock = device::ClockKind::Real;
        o.tell = testing_support::TellOnStderr;
        h = std::make_unique<Harness>(o);
        options.openPicture = [](const std::string& path) { return std::make_unique<photo::PhotoSource>(path); };
        window = sdl::Window::Open(h->Device(), options, reason);
    }
    ~Rig() { Close(); }
    void Close()
    {
        if (h) {
            h->Finish();
        }
        window.reset();
        h.reset();
    }
    // The SDL window the sdl::Window made (the only one there is).
    static SDL_Window* Sdl()
    {
        for (Uint32 id = 1; id < 1000; id++) {
            if (SDL_Window* w = SDL_GetWindowFromID(id)) {
                return w;
            }
        }
        return nullptr;
    }

    Env driver;
    std::unique_ptr<Harness> h;
    std::unique_ptr<sdl::Window> window;
    std::string reason;
};

std::vector<std::string> Pngs(const std::string& folder)
{
    std::vector<std::string> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".png") {
            found.push_back(it->path().string());
        }
    }
    return found;
}

} // namespace

TEST(WindowSettings, ARememberedPlaceIsKeptOnlyWhileEnoughOfItIsOnADisplay)
{
    using sdl::detail::RememberedPlace;
    const std::vector<sdl::detail::Area> two = {{0, 0, 1920, 1050}, {1920, 0, 1280, 1024}};
    // On the second display, and just on the first by 64 pixels each way.
    sdl::detail::Place p = RememberedPlace(2000, 100, 800, 480, true, two);
    EXPECT_FALSE(p.centred);
    EXPECT_EQ(p.x, 2000);
    p = RememberedPlace(-736, -416, 800, 480, true, two);
    EXPECT_FALSE(p.centred);
    // One pixel less on any display (a display unplugged since): centred.
    p = RememberedPlace(-737, 100, 800, 480, true, two);
    EXPECT_TRUE(p.centred);
    p = RememberedPlace(3137, 100, 800, 480, true, two);
    EXPECT_TRUE(p.centred);
    p = RememberedPlace(3136, 100, 800, 480, true, two);
    EXPECT_FALSE(p.centred);
    // Sizes stay within the window's least size and the primary display's usable area.
    p = RememberedPlace(0, 0, 5000, 40, false, two);
    EXPECT_TRUE(p.centred);
    EXPECT_EQ(p.w, 1920);
    EXPECT_EQ(p.h, 120);
    p = RememberedPlace(0, 0, 700, 420, false, {});
    EXPECT_EQ(p.w, 700);
    EXPECT_EQ(p.h, 420);
}

TEST(WindowSettings, TheNextWindowOpensWithTheLastOnesSizePlaceAndPicture)
{
    const ScratchDir dir;
    const std::string file = dir.File("config/veltora/settings.conf"), photo = dir.File("board.png");
    const std::vector<std::uint32_t> px(64 * 48, 0xFF808080u);
    std::string why;
    ASSERT_TRUE(codec::WritePngFile(photo, px.data(), 64, 48, 64 * 4, why)) << why;
    {
        sdl::Options o;
        o.settingsFile = file;
        o.picture = photo;
        Rig rig(o);
        if (!rig.window) {
            GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
        }
        ASSERT_NE(Rig::Sdl(), nullptr);
        SDL_SetWindowSize(Rig::Sdl(), 700, 420);
        SDL_SetWindowPosition(Rig::Sdl(), 30, 40);
    }
    const std::string text = Read(file);
    for (const std::string line : {"window-width=700\n", "window-height=420\n", "window-x=30\n", "window-y=40\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << text;
    }
    EXPECT_NE(text.find("picture=" + photo + "\n"), std::string::npos) << text;

    const std::string out = dir.File("stdout.txt");
    {
        sdl::Options o;
        o.settingsFile = file;
        o.showLastPicture = true;
        const Redirect redirect(STDOUT_FILENO, out);
        Rig rig(o);
        ASSERT_TRUE(rig.window) << rig.reason;
        int w = 0, h = 0, x = 0, y = 0;
        SDL_GetWindowSize(Rig::Sdl(), &w, &h);
        SDL_GetWindowPosition(Rig::Sdl(), &x, &y);
        EXPECT_EQ(w, 700);
        EXPECT_EQ(h, 420);
        EXPECT_EQ(x, 30);
        EXPECT_EQ(y, 40);
    }
    EXPECT_EQ(Read(out), "showing " + photo + "\n");
    // Nor when this run writes it (a --screenshot over the photo): one line, the photo kept.
    const std::string err = dir.File("stderr.txt");
    {
        sdl::Options o;
        o.settingsFile = file;
        o.showLastPicture = true;
        o.outputs = {"", dir.File("config/../board.png")};
        const Redirect redirect(STDOUT_FILENO, out), redirectErr(STDERR_FILENO, err);
        Rig rig(o);
        ASSERT_TRUE(rig.window) << rig.reason;
    }
    EXPECT_EQ(Read(out), "");
    EXPECT_EQ(Read(err), "veltora: not showing the last picture " + photo + ": this run writes " +
                             dir.File("config/../board.png") + "\n");
    // A camera asked for on the command line wins: nothing else is shown.
    {
        sdl::Options o;
        o.settingsFile = file;
        const Redirect redirect(STDOUT_FILENO, out);
        Rig rig(o);
        ASSERT_TRUE(rig.window) << rig.reason;
    }
    EXPECT_EQ(Read(out), "");
}

TEST(WindowSettings, ABrokenSettingsFileIsOneLineKeptAsideAndTheDefaults)
{
    const ScratchDir dir;
    const std::string file = dir.File("settings.conf"), err = dir.File("stderr.txt");
    std::ofstream(file) << "window-width=99999999999\n";
    {
        sdl::Options o;
        o.settingsFile = file;
        o.shrink = 1;
        const Redirect redirect(STDERR_FILENO, err);
        Rig rig(o);
        if (!rig.window) {
            GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
        }
        int w = 0, h = 0;
        SDL_GetWindowSize(Rig::Sdl(), &w, &h);
        EXPECT_EQ(w, 800);
        EXPECT_EQ(h, 480);
    }
    const std::string said = Read(err);
    EXPECT_EQ(said, "veltora: the settings file " + file +
                        " is broken (window-width is '99999999999', not a whole number "
                        "from 1 to 1000000); using the defaults (the file is kept as " +
                        file + ".broken)\n");
    EXPECT_EQ(Read(file + ".broken"), "window-width=99999999999\n");
    // The closing window wrote good settings in its place.
    EXPECT_NE(Read(file).find("window-width=800\n"), std::string::npos) << Read(file);
}

TEST(WindowSettings, SSavesIntoVeltoraInThePicturesFolderOrWhereSaveToSays)
{
    const ScratchDir dir;
    const Env home("HOME", dir.File("home")), config("XDG_CONFIG_HOME", dir.File("config"));
    ::mkdir(dir.File("config").c_str(), 0700);
    std::ofstream(dir.File("config/user-dirs.dirs")) << "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    ::mkdir(dir.File("out").c_str(), 0700);
    for (const bool saveTo : {false, true}) {
        const std::string folder = saveTo ? dir.File("out") : dir.File("home/Bilder/Veltora");
        sdl::Options o;
        o.shrink = 1;
        if (saveTo) {
            o.saveTo = dir.File("out");
        }
        const Redirect redirect(STDOUT_FILENO, dir.File("stdout.txt"));
        Rig rig(o);
        if (!rig.window) {
            GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
        }
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = SDLK_s;
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Pngs(folder).empty() && std::chrono::steady_clock::now() < end) {
            rig.h->RunMs(20);
        }
        ASSERT_EQ(Pngs(folder).size(), 1u) << folder;
        EXPECT_EQ(std::filesystem::path(Pngs(folder)[0]).filename().string().rfind("veltora-", 0), 0u);
    }
    // --save-to made no folder of the pictures folder's.
    EXPECT_EQ(Pngs(dir.File("home/Bilder/Veltora")).size(), 1u);
}
