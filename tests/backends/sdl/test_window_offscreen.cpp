// The window without X: SDL's own key, mouse and wheel events pushed into a real window on
// SDL's offscreen driver, and the pixels it shows read back from its renderer. What only a
// real X server shows (its window manager, real input, the desktop's density, CPU while
// waiting on X) stays in tests/window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "backends/photo/PhotoSource.h"
#include "codec/ImageCodec.h"
#include "device/Aiming.h"
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

constexpr device::FrameSize kFrame = sdl::detail::kFrame;

} // namespace

TEST(WindowOffscreen, TheWheelZoomsAboutTheMouse)
{
    WindowRig rig;
    SKIP_WITHOUT_WINDOW(rig);
    rig.h.Tilt(-90);
    rig.Settle();
    device::CameraSensor& camera = rig.h.Device().Camera();
    // The picture point under the mouse stays under it, whichever way the wheel turns it.
    struct Turn {
        int x, y;
        float steps;
        bool flipped;
        double factor;
    };
    const double step = sdl::detail::kZoomStep;
    for (const Turn& t : {Turn{650, 120, 1, false, step}, Turn{200, 300, -1, true, step},
                          Turn{500, 100, -1, false, 1 / step}, Turn{120, 430, 2, false, step * step}}) {
        const device::Aim before = camera.GetAim();
        const device::FrameSize picture = camera.PictureSize();
        const device::PointD at{t.x + 0.5, t.y + 0.5};
        const device::PointD under = device::FrameToPicture(before, picture, kFrame, at);
        rig.Wheel(t.x, t.y, t.steps, t.flipped);
        rig.Settle();
        ASSERT_TRUE(rig.WaitFor([&] { return !(camera.GetAim() == before); })) << "the wheel at " << t.x << "," << t.y;
        const device::Aim after = camera.GetAim();
        EXPECT_NEAR(after.zoom, before.zoom * t.factor, 1e-9) << t.x << "," << t.y;
        const device::PointD still = device::FrameToPicture(after, picture, kFrame, at);
        EXPECT_NEAR(still.x, under.x, 1e-9) << t.x << "," << t.y;
        EXPECT_NEAR(still.y, under.y, 1e-9) << t.x << "," << t.y;
    }
}

TEST(WindowOffscreen, KeysTiltTurnAndShowTheKeyList)
{
    InFolder folder;
    WritePicture(folder.Dir().File("still.png"), 800, 480, 7);
    WindowRig rig(WindowRig::One(), Photo(folder.Dir().File("still.png")));
    SKIP_WITHOUT_WINDOW(rig);
    // ] tilts the sensor only: the view stays landscape, the title tells the pitch.
    rig.Key(SDLK_RIGHTBRACKET);
    rig.Key(SDLK_RIGHTBRACKET);
    rig.Key(SDLK_RIGHTBRACKET);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return rig.Title().find("pitch -75 deg") != std::string::npos; })) << rig.Title();
    EXPECT_EQ(rig.Size(), std::make_pair(800, 480));
    // 2 holds the phone upright: the window turns to the view's shape; 1 turns it back.
    rig.Key(SDLK_2);
    rig.Settle();
    EXPECT_TRUE(rig.TurnedTo(480, 800));
    rig.Key(SDLK_1);
    rig.Settle();
    EXPECT_TRUE(rig.TurnedTo(800, 480));
    ASSERT_TRUE(rig.WaitFor([&] { return rig.ShowsScreen(0); }));

    // H shows the key list over the screen; Escape closes it and quits nothing, twice.
    rig.Key(SDLK_h);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return Differing(rig.Shown(), rig.ScreenTurned(0), 25) > 100000; }))
        << "H showed no key list";
    rig.Key(SDLK_ESCAPE);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return Differing(rig.Shown(), rig.ScreenTurned(0)) <= 40; }))
        << "Escape left the list";
    rig.Key(SDLK_ESCAPE);
    rig.Settle();
    EXPECT_FALSE(rig.h.Device().TerminationRequested());
    rig.Key(SDLK_q);
    rig.Settle();
    EXPECT_TRUE(rig.h.Device().TerminationRequested());
}

TEST(WindowOffscreen, EveryHoldingShowsThePhonesScreenTurnedAndSSavesWhatIsSeen)
{
    InFolder folder;
    WritePicture(folder.Dir().File("still.png"), 800, 480, 7);
    WindowRig rig(WindowRig::One(), Photo(folder.Dir().File("still.png")));
    SKIP_WITHOUT_WINDOW(rig);
    device::Display& display = rig.h.Device().GetDisplay();
    auto check = [&](const char* name, SDL_Keycode key, int turns, std::pair<int, int> size) {
        SCOPED_TRACE(name);
        if (key != SDLK_UNKNOWN) {
            rig.Key(key);
            rig.Settle();
        }
        ASSERT_TRUE(rig.TurnedTo(size.first, size.second));
        // The screen may still change (a tilt reading lays the controls out): S's pictures
        // count only when the screen stayed as it was while they were taken.
        for (int attempt = 0;; attempt++) {
            ASSERT_LT(attempt, 20) << "the screen never kept still";
            long n = 0;
            ASSERT_TRUE(rig.WaitFor([&] { return rig.ShowsScreen(turns, &n); }))
                << n << " pixels differ from the screen turned " << turns;
            const std::uint64_t version = display.Version();
            const Image shown = rig.Shown();
            // S saves what is seen and prints its full path; Shift+S the phone's own screen.
            testing::internal::CaptureStdout();
            rig.Key(SDLK_s);
            rig.Key(SDLK_s, KMOD_LSHIFT);
            rig.Settle();
            const std::string printed = testing::internal::GetCapturedStdout();
            const std::string seen = folder.TakeSaved(std::string("seen-") + name, 0);
            const std::string seenName = folder.LastName();
            const std::string screen = folder.TakeSaved(std::string("screen-") + name, 0);
            ASSERT_FALSE(seen.empty() || screen.empty());
            if (display.Version() != version) {
                continue;
            }
            for (int wrong = 0; wrong < 4; wrong++) {
                if (wrong != turns) {
                    EXPECT_GT(Differing(shown, rig.ScreenTurned(wrong)), 10000)
                        << "a turn of " << wrong << " matches too";
                }
            }
            EXPECT_EQ(printed.substr(0, printed.find('\n') + 1), folder.Dir().Path() + "/" + seenName + "\n");
            EXPECT_LE(Differing(Load(seen), shown), 40) << "S did not save what the window shows";
            EXPECT_LE(Differing(Load(screen), rig.ScreenTurned(0)), 40) << "Shift+S did not save the phone's screen";
            break;
        }
    };
    check("landscape", SDLK_UNKNOWN, 0, {800, 480});
    check("portrait", SDLK_2, 1, {480, 800});
    check("landscape turned over", SDLK_3, 2, {800, 480});
    check("portrait upside down", SDLK_4, 3, {480, 800});
    rig.Key(SDLK_1);
    rig.Settle();
    ASSERT_TRUE(rig.TurnedTo(800, 480));
    // The application lays its controls out for landscape at the next tilt reading.
    auto form = rig.h.Inspect();
    ASSERT_TRUE(rig.WaitFor([&] { return form.orientation == 2; }));
    ASSERT_TRUE(rig.WaitFor([&] { return rig.ShowsScreen(0); }));
    // The information image at (15,90)-(65,140) opens the help page, a portrait form read
    // upright however the phone is held; its top right corner goes back.
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, 40, 115);
    rig.Settle();
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 40, 115);
    rig.Settle();
    check("help page", SDLK_UNKNOWN, 0, {480, 800});
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, 400, 32);
    rig.Settle();
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 400, 32);
    rig.Settle();
    EXPECT_TRUE(rig.TurnedTo(800, 480));
}

TEST(WindowOffscreen, TheLoupeShowsWhileTheButtonIsDownAndIsNotInSsPicture)
{
    InFolder folder;
    WritePicture(folder.Dir().File("still.png"), 800, 480, 7);
    WindowRig rig(WindowRig::One(), Photo(folder.Dir().File("still.png")));
    SKIP_WITHOUT_WINDOW(rig);
    rig.h.Tilt(-90);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.ShowsScreen(0); }));
    // Pressed at the right: the loupe is in the bottom-left corner, away from the finger.
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, 640, 200);
    rig.Settle();
    const auto corner = [&] {
        return Differing(Crop(rig.Shown(), 10, 310, 160, 160), Crop(rig.ScreenTurned(0), 10, 310, 160, 160));
    };
    EXPECT_TRUE(rig.WaitFor([&] { return corner() > 5000; })) << "no loupe in the bottom-left corner: " << corner();
    EXPECT_LE(Differing(Crop(rig.Shown(), 630, 10, 160, 160), Crop(rig.ScreenTurned(0), 630, 10, 160, 160)), 40)
        << "the loupe is near the finger";
    rig.Key(SDLK_s);
    rig.Settle();
    EXPECT_LE(Differing(Load(folder.TakeSaved("seen-loupe")), rig.ScreenTurned(0)), 40)
        << "the loupe is in S's picture";
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 640, 200);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return Differing(rig.Shown(), rig.ScreenTurned(0)) <= 40; })) << "the loupe stayed";
}

TEST(WindowOffscreen, NAndPStepThroughTheFolderAndTheMiddleButtonAims)
{
    ScratchDir dir;
    WritePicture(dir.File("still.png"), 800, 480, 7);
    WritePicture(dir.File("still2.png"), 640, 480, 9);
    WritePicture(dir.File("zspot.png"), 800, 480, 3,
                 [](int x, int y) { return x >= 680 && x < 720 && y >= 130 && y < 170; });
    WindowRig rig(Pictures(dir.File("still.png")), Photo(dir.File("still.png")));
    SKIP_WITHOUT_WINDOW(rig);
    rig.h.Tilt(-90);
    rig.Settle();
    auto step = [&](SDL_Keycode key, const char* want) {
        testing::internal::CaptureStdout();
        rig.Key(key);
        rig.Settle();
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(printed, "showing " + dir.File(want) + "\n");
        EXPECT_TRUE(rig.WaitFor([&] { return rig.Title().find(std::string(" ") + want + " ") != std::string::npos; }))
            << rig.Title();
    };
    step(SDLK_n, "still2.png");
    step(SDLK_p, "still.png");
    step(SDLK_p, "zspot.png");

    // The middle button brings the picture point under the mouse under the dial's hub: the
    // green spot at (700,150) goes to the hub at (400,469).
    auto greenNearHub = [&] {
        const Image s = rig.ScreenTurned(0);
        int n = 0;
        for (int dx : {-18, 18}) {
            for (int dy : {-18, 7}) {
                const std::uint32_t p = s.At(400 + dx, 469 + dy);
                n += ((p >> 8) & 0xFF) > 150 && (p >> 16) < 80;
            }
        }
        return n;
    };
    ASSERT_TRUE(rig.WaitFor([&] { return ((rig.ScreenTurned(0).At(700, 150) >> 8) & 0xFF) > 150; }));
    EXPECT_EQ(greenNearHub(), 0);
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, 700, 150, SDL_BUTTON_MIDDLE);
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 700, 150, SDL_BUTTON_MIDDLE);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return greenNearHub() >= 3; })) << greenNearHub() << " of 4 points green";
}

namespace {

// A camera source that takes its time to fail, as a video whose pipeline will not start.
class SlowFailure final : public device::CameraSource {
public:
    explicit SlowFailure(std::function<void()> onOpen) : m_onOpen(std::move(onOpen)) {}
    std::string Describe() const override { return "broken"; }
    bool Open(std::string& reason) override
    {
        m_onOpen();
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
        reason = "the pipeline would not start";
        return false;
    }
    std::vector<device::FrameSize> Resolutions() const override { return {}; }
    bool Render(std::int64_t, const device::PixelView&, std::string& reason) override
    {
        reason = "broken";
        return false;
    }

private:
    std::function<void()> m_onOpen;
};

} // namespace

TEST(WindowOffscreen, AStepPastManyBrokenFilesKeepsTheWindowAnswering)
{
    ScratchDir dir;
    WritePicture(dir.File("a.png"), 80, 48, 1);
    WritePicture(dir.File("z.png"), 80, 48, 2);
    const std::string video("\0\0\0\x20"
                            "ftypisom",
                            12);
    for (int i = 0; i < 400; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "b%03d.mp4", i);
        std::ofstream(dir.File(name)) << "junk, not a video";
        std::snprintf(name, sizeof name, "c%03d.mp4", i % 100);
        std::ofstream(dir.File(name), std::ios::binary) << video;
    }
    WindowRig* pRig = nullptr;
    int opened = 0;
    std::string titleLate;
    sdl::Options options = Pictures(dir.File("a.png"));
    options.openPicture = [&](const std::string& path) -> std::unique_ptr<device::CameraSource> {
        if (path.find("/c") == std::string::npos) {
            return std::make_unique<photo::PhotoSource>(path);
        }
        return std::make_unique<SlowFailure>([&] {
            // The user presses ] while the step is still looking; by the 80th try the
            // window has read it and shown it in the title.
            if (++opened == 10) {
                pRig->Key(SDLK_RIGHTBRACKET);
            } else if (opened == 80) {
                titleLate = pRig->Title();
            }
        });
    };
    WindowRig rig(options, Photo(dir.File("a.png")));
    SKIP_WITHOUT_WINDOW(rig);
    pRig = &rig;
    rig.Settle();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    rig.Key(SDLK_n);
    const bool shown = rig.WaitFor([&] { return rig.Title().find(" z.png ") != std::string::npos; });
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(shown) << rig.Title();
    // The junk was judged by its content: only the hundred that start like videos were tried.
    EXPECT_EQ(opened, 100);
    EXPECT_NE(titleLate.find("pitch -85 deg"), std::string::npos)
        << "the window did not answer while stepping: " << titleLate;
    EXPECT_EQ(out, "showing " + dir.File("z.png") + "\n");
    EXPECT_EQ(err, "veltora: passed over 500 files in " + dir.Path() +
                       ": 400 are not pictures or videos by their content, 100 cannot be shown (the last, c099.mp4: "
                       "the pipeline would not start)\n");
}
