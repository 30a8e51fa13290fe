// The window's picture as on a phone, on SDL's offscreen driver: the camera turns with the
// phone, R turns the picture, the middle button aims under the dial shown, and the key list,
// S's notice and the help page's wheel, and N over videos that cannot be shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "backends/gst/VideoSource.h"
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
using testing_support::Load;
using testing_support::Photo;
using testing_support::Pictures;
using testing_support::ScratchDir;
using testing_support::WindowRig;
using testing_support::WritePicture;

namespace {

// A picture in four coloured quarters: red top left, green top right, blue bottom left,
// white bottom right; which way it stands shows in any part of it that is seen.
void WriteQuarters(const std::string& path, int width, int height)
{
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            const bool right = x >= width / 2, low = y >= height / 2;
            pixels[static_cast<std::size_t>(y) * width + x] =
                low ? (right ? 0xFFF0F0F0u : 0xFF0000E0u) : (right ? 0xFF00E000u : 0xFFE00000u);
        }
    }
    std::string reason;
    ASSERT_TRUE(codec::WritePngFile(path, pixels.data(), width, height, width * 4, reason)) << reason;
}

// Which quarter's colour a pixel has most likely (-1: none of them, an overlay).
int QuarterOf(std::uint32_t p)
{
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    if (r > 180 && g > 180 && b > 180) {
        return 3;
    }
    if (r > 150 && g < 90 && b < 90) {
        return 0;
    }
    if (g > 150 && r < 90 && b < 90) {
        return 1;
    }
    if (b > 150 && r < 90 && g < 90) {
        return 2;
    }
    return -1;
}

// Whether an image shows the quarters upright: of the points sampled in each quarter of it
// (the dial and the buttons cover some), most have that quarter's colour and none another's
// beyond a few.
bool Upright(const Image& img, std::string& why, const std::vector<int>& quarters = {0, 1, 2, 3})
{
    for (int q = 0; q < 4; q++) {
        int right = 0, wrong = 0;
        for (int j = 1; j < 10; j++) {
            for (int i = 1; i < 10; i++) {
                const int x = (q % 2) * img.width / 2 + i * img.width / 20;
                const int y = (q / 2) * img.height / 2 + j * img.height / 20;
                const int got = QuarterOf(img.At(x, y));
                right += got == quarters[q];
                wrong += got >= 0 && got != quarters[q];
            }
        }
        if (right < 40 || wrong > 8) {
            why = "quarter " + std::to_string(q) + ": " + std::to_string(right) + " right, " + std::to_string(wrong) +
                  " wrong";
            return false;
        }
    }
    return true;
}

} // namespace

TEST(WindowOffscreen, ThePictureStaysUprightInEveryHoldingInTheWindowAndInSsPictures)
{
    InFolder folder;
    WriteQuarters(folder.Dir().File("quarters.png"), 800, 480);
    WindowRig rig(WindowRig::One(), Photo(folder.Dir().File("quarters.png")));
    SKIP_WITHOUT_WINDOW(rig);
    std::string why;
    int shot = 0;
    auto check = [&](const char* name, SDL_Keycode key, int tilts, std::pair<int, int> size, int turns) {
        SCOPED_TRACE(name);
        rig.Key(key);
        for (int i = 0; i < tilts; i++) {
            rig.Key(SDLK_RIGHTBRACKET);
        }
        rig.Settle();
        ASSERT_TRUE(rig.TurnedTo(size.first, size.second));
        EXPECT_TRUE(rig.WaitFor([&] { return Upright(rig.Shown(), why); })) << why;
        rig.Key(SDLK_s);
        rig.Settle();
        EXPECT_TRUE(Upright(Load(folder.TakeSaved(std::string("seen-") + std::to_string(shot++))), why))
            << "S: " << why;
        // The phone's own screen holds the picture as the camera fixed in it sees it: turned
        // back by the holding.
        if (turns != 0) {
            EXPECT_FALSE(Upright(rig.ScreenTurned(0), why));
            EXPECT_TRUE(Upright(rig.ScreenTurned(turns), why)) << why;
        }
    };
    check("portrait", SDLK_2, 0, {480, 800}, 1);
    check("landscape turned over", SDLK_3, 0, {800, 480}, 2);
    check("portrait upside down", SDLK_4, 0, {480, 800}, 3);
    check("landscape", SDLK_1, 0, {800, 480}, 0);
    // Tilted half way over by ] the sensor's pitch calls for another turn, but the view has
    // not turned, and neither has the camera.
    check("portrait tilted", SDLK_2, 10, {480, 800}, 1);
    EXPECT_EQ(rig.h.Device().Camera().HeldTurns(), 1);
}

TEST(WindowOffscreen, TheMiddleButtonAimsUnderTheHubOfTheDialShownAfterATilt)
{
    ScratchDir dir;
    WritePicture(dir.File("spot.png"), 800, 480, 3,
                 [](int x, int y) { return x >= 680 && x < 720 && y >= 130 && y < 170; });
    WindowRig rig(WindowRig::One(), Photo(dir.File("spot.png")));
    SKIP_WITHOUT_WINDOW(rig);
    // ] tilts the phone upright (pitch -5) without turning the view: the round dial shows.
    for (int i = 0; i < 17; i++) {
        rig.Key(SDLK_RIGHTBRACKET);
    }
    rig.Settle();
    auto form = rig.h.Inspect();
    ASSERT_TRUE(rig.WaitFor([&] { return form.orientation == 0; }));
    EXPECT_EQ(rig.Size(), std::make_pair(800, 480));
    auto greenAround = [&](device::PointD at) {
        const Image s = rig.ScreenTurned(0);
        int n = 0;
        for (int dx : {-12, 12}) {
            for (int dy : {-12, 12}) {
                const int x = static_cast<int>(at.x) + dx, y = static_cast<int>(at.y) + dy;
                // A screen of another shape (still turning) has no such point: not green.
                if (x < 0 || y < 0 || x >= s.width || y >= s.height) {
                    continue;
                }
                const std::uint32_t p = s.At(x, y);
                n += ((p >> 8) & 0xFF) > 150 && (p >> 16) < 80;
            }
        }
        return n;
    };
    const device::PointD hub = instrument::HubOf(instrument::Dial::Round);
    ASSERT_TRUE(rig.WaitFor([&] { return greenAround({700, 150}) == 4; }));
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, 700, 150, SDL_BUTTON_MIDDLE);
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 700, 150, SDL_BUTTON_MIDDLE);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return greenAround(hub) >= 3; })) << greenAround(hub) << " of 4 points green";
    EXPECT_EQ(greenAround(instrument::HubOf(instrument::Dial::Half)), 0);
}

TEST(WindowOffscreen, RTurnsThePictureAndNKeepsTheTurn)
{
    ScratchDir dir;
    WriteQuarters(dir.File("a.png"), 800, 480);
    WriteQuarters(dir.File("b.png"), 640, 480);
    WindowRig rig(Pictures(dir.File("a.png")), Photo(dir.File("a.png")));
    SKIP_WITHOUT_WINDOW(rig);
    std::string why;
    ASSERT_TRUE(rig.WaitFor([&] { return Upright(rig.Shown(), why); })) << why;
    EXPECT_EQ(rig.Title().find("turned"), std::string::npos);
    // A quarter clockwise: the bottom left quarter comes to the top left, and so on.
    const std::vector<int> once{2, 0, 3, 1};
    rig.Key(SDLK_r);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return Upright(rig.Shown(), why, once); })) << why;
    EXPECT_NE(rig.Title().find("picture turned 90 deg"), std::string::npos) << rig.Title();
    testing::internal::CaptureStdout();
    rig.Key(SDLK_n);
    rig.Settle();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "showing " + dir.File("b.png") + "\n");
    EXPECT_TRUE(rig.WaitFor([&] { return Upright(rig.Shown(), why, once); })) << "after N: " << why;
    EXPECT_NE(rig.Title().find("picture turned 90 deg"), std::string::npos) << rig.Title();
    rig.Key(SDLK_r);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return Upright(rig.Shown(), why, {3, 2, 1, 0}); })) << why;
    EXPECT_NE(rig.Title().find("picture turned 180 deg"), std::string::npos) << rig.Title();
    rig.Key(SDLK_r);
    rig.Key(SDLK_r);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return Upright(rig.Shown(), why); })) << why;
    EXPECT_EQ(rig.Title().find("turned"), std::string::npos) << rig.Title();
}

TEST(WindowOffscreen, TheKeyListFitsAndReadsAtEveryWindowSizeAndHolding)
{
    WindowRig rig;
    SKIP_WITHOUT_WINDOW(rig);
    struct Case {
        SDL_Keycode key;
        int w, h;
        int minPitch; // rows of text at least this many pixels apart
    };
    for (const Case& c : {Case{SDLK_1, 800, 480, 13}, Case{SDLK_1, 400, 240, 6}, Case{SDLK_1, 1600, 960, 26},
                          Case{SDLK_2, 480, 800, 13}, Case{SDLK_2, 240, 400, 5}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        rig.Key(c.key);
        rig.Settle();
        ASSERT_TRUE(rig.TurnedTo(c.w > c.h ? 800 : 480, c.w > c.h ? 480 : 800));
        rig.Resize(c.w, c.h);
        ASSERT_TRUE(rig.WaitFor([&] { return rig.Size() == std::make_pair(c.w, c.h); }));
        rig.Key(SDLK_h);
        rig.Settle();
        // Text is light on the dark panel; the rows it stands on come in bands.
        std::vector<int> bands;
        int left = c.w, right = -1, top = c.h, bottom = -1;
        ASSERT_TRUE(rig.WaitFor([&] {
            const Image s = rig.Shown();
            bands.clear();
            left = c.w, right = -1, top = c.h, bottom = -1;
            bool inBand = false;
            for (int y = 0; y < s.height; y++) {
                bool text = false;
                for (int x = 0; x < s.width; x++) {
                    const std::uint32_t p = s.At(x, y);
                    if (((p >> 16) & 0xFF) > 150 && ((p >> 8) & 0xFF) > 150) {
                        text = true;
                        left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                        bottom = std::max(bottom, y);
                    }
                }
                if (text && !inBand) {
                    bands.push_back(y);
                }
                inBand = text;
            }
            return bands.size() > 20;
        })) << bands.size()
            << " rows of text";
        // Every row is whole: none reaches the view's edge.
        EXPECT_GT(left, c.w / 100);
        EXPECT_LT(right, c.w - 1 - c.w / 100);
        EXPECT_GT(top, c.h / 100);
        EXPECT_LT(bottom, c.h - 1 - c.h / 100);
        const double pitch = double(bands.back() - bands[1]) / (bands.size() - 2);
        EXPECT_GE(pitch, c.minPitch);
        rig.Key(SDLK_ESCAPE);
        rig.Settle();
    }
}

TEST(WindowOffscreen, SSaysItSavedInTheWindowButNotInThePicture)
{
    InFolder folder;
    WritePicture(folder.Dir().File("still.png"), 800, 480, 7);
    WindowRig rig(WindowRig::One(), Photo(folder.Dir().File("still.png")));
    SKIP_WITHOUT_WINDOW(rig);
    rig.h.Tilt(-90);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.ShowsScreen(0); }));
    testing::internal::CaptureStdout();
    rig.Key(SDLK_s);
    rig.Settle();
    testing::internal::GetCapturedStdout();
    const auto foot = [&] {
        return Differing(Crop(rig.Shown(), 200, 380, 400, 100), Crop(rig.ScreenTurned(0), 200, 380, 400, 100));
    };
    EXPECT_TRUE(rig.WaitFor([&] { return foot() > 1000; })) << "no notice at the view's foot: " << foot();
    EXPECT_LE(Differing(Load(folder.TakeSaved("seen")), rig.ScreenTurned(0)), 40) << "the notice is in S's picture";
    // It goes by itself.
    EXPECT_TRUE(rig.WaitFor([&] { return rig.ShowsScreen(0); }, 5)) << "the notice stayed";
}

TEST(WindowOffscreen, TheWheelScrollsTheHelpPage)
{
    WindowRig rig;
    SKIP_WITHOUT_WINDOW(rig);
    rig.h.Tilt(-90);
    auto form = rig.h.Inspect();
    ASSERT_TRUE(rig.WaitFor([&] { return form.orientation == 2; }));
    // The information image at (15,90)-(65,140) opens the help page.
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, 40, 115);
    rig.Settle();
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 40, 115);
    rig.Settle();
    ASSERT_TRUE(rig.TurnedTo(480, 800));
    ASSERT_TRUE(rig.WaitFor([&] { return rig.ShowsScreen(0); }));
    // The page settles (its first frames finish the change of form) before it is compared.
    Image top = rig.ScreenTurned(0);
    ASSERT_TRUE(rig.WaitFor([&] {
        rig.h.RunMs(600);
        const Image now = rig.ScreenTurned(0);
        const bool still = Differing(now, top) == 0;
        top = now;
        return still;
    }));
    rig.Wheel(240, 400, -3);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] {
        return Differing(Crop(rig.ScreenTurned(0), 0, 200, 480, 500), Crop(top, 0, 200, 480, 500)) > 5000;
    })) << "the wheel did not scroll the page";
    EXPECT_TRUE(rig.h.Device().GetDisplay().Portrait()) << "the wheel left the help page";
    // And back up again, to the top as it was.
    rig.Wheel(240, 400, 3);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return Differing(rig.ScreenTurned(0), top) <= 40; }))
        << "the wheel did not scroll back";
}

// N over broken videos between two pictures: each fails by what it is as it would as the
// camera, so the step reaches the next picture at once and tells the four in one line.
TEST(WindowOffscreen, NPassesOverBrokenVideosAtOnce)
{
    ScratchDir dir;
    WriteQuarters(dir.File("aaa.png"), 800, 480);
    WriteQuarters(dir.File("zzz.png"), 640, 480);
    for (int k = 1; k <= 4; k++) {
        // An AVI's header and nothing a demuxer can read after it.
        std::ofstream out(dir.File("v00" + std::to_string(k) + ".avi"), std::ios::binary);
        const char header[] = {'R', 'I', 'F', 'F', 0, 0x10, 0, 0, 'A', 'V', 'I', ' ', 'L', 'I', 'S', 'T'};
        out.write(header, sizeof header);
        for (int i = 0; i < 4096; i++) {
            out.put(static_cast<char>((i * 7919 + 13 * k) % 251));
        }
    }
    sdl::Options options = Pictures(dir.File("aaa.png"));
    options.openPicture = [](const std::string& path) -> std::unique_ptr<device::CameraSource> {
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ".avi") == 0) {
            // A video that never answered would hold the step this long: past the test's bound.
            gst::VideoTiming timing;
            timing.open = std::chrono::milliseconds(60000);
            return std::make_unique<gst::VideoSource>(gst::VideoSource::Kind::File, path, timing);
        }
        return std::make_unique<photo::PhotoSource>(path);
    };
    WindowRig rig(options, Photo(dir.File("aaa.png")));
    SKIP_WITHOUT_WINDOW(rig);
    for (const auto& [key, picture] :
         {std::pair{SDLK_n, "zzz.png"}, std::pair{SDLK_p, "aaa.png"}, std::pair{SDLK_n, "zzz.png"}}) {
        SCOPED_TRACE(picture);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        rig.Key(key);
        std::string out;
        const bool shown = rig.WaitFor(
            [&] {
                out += testing::internal::GetCapturedStdout();
                testing::internal::CaptureStdout();
                return out.find("showing ") != std::string::npos;
            },
            20);
        testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(shown) << "no picture shown within 20 s";
        EXPECT_EQ(out, "showing " + dir.File(picture) + "\n");
        EXPECT_EQ(err.rfind("veltora: passed over 4 files in " + dir.Path() + ": 4 cannot be shown", 0), 0u) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}
