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
#include "device/Holding.h"
#include "support/Scratch.h"
#include "support/WindowRig.h"

using testing_support::Crop;
using testing_support::Differing;
using testing_support::Image;
using testing_support::ScratchDir;
using testing_support::WindowRig;

namespace {

constexpr device::FrameSize kFrame = sdl::detail::kFrame;

// A picture with detail everywhere, so a turn or a shift of one pixel shows.
void WritePicture(const std::string& path, int width, int height, unsigned seed,
                  const std::function<bool(int, int)>& green = {})
{
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            std::uint32_t h = (static_cast<std::uint32_t>(x) * 73856093u) ^ (static_cast<std::uint32_t>(y) * 19349663u) ^ seed;
            h = (h ^ (h >> 13)) * 0x5bd1e995u;
            const std::uint32_t r = (x * 255 / width + (h & 0x3F)) & 0xFF, g = (y * 255 / height) & 0xFF,
                                b = ((h >> 8) & 0x7F) + ((x + y) & 0x7F);
            pixels[static_cast<std::size_t>(y) * width + x] =
                green && green(x, y) ? 0xFF00C000u : (0xFF000000u | r << 16 | g << 8 | (b & 0xFF));
        }
    }
    std::string reason;
    ASSERT_TRUE(codec::WritePngFile(path, pixels.data(), width, height, width * 4, reason)) << reason;
}

Image Load(const std::string& path)
{
    codec::DecodedImage d;
    std::string reason;
    EXPECT_TRUE(codec::DecodeImageFile(path, d, reason)) << path << ": " << reason;
    Image img{d.width, d.height, std::move(d.pixels)};
    for (std::uint32_t& p : img.pixels) {
        p &= 0xFFFFFFu;
    }
    return img;
}

// Runs a test in a folder of its own, where S saves its pictures.
class InFolder {
public:
    InFolder()
    {
        char here[4096];
        EXPECT_NE(getcwd(here, sizeof here), nullptr);
        m_back = here;
        EXPECT_EQ(chdir(m_dir.Path().c_str()), 0);
    }
    ~InFolder() { EXPECT_EQ(chdir(m_back.c_str()), 0); }
    const ScratchDir& Dir() const { return m_dir; }
    // The name the picture taken last had.
    const std::string& LastName() const { return m_lastName; }
    // The picture a screenshot key saved (and only one), taken out of the folder.
    std::string TakeSaved(const std::string& as, std::size_t which = 0)
    {
        std::vector<std::string> saved;
        for (const auto& e : std::filesystem::directory_iterator(m_dir.Path())) {
            const std::string name = e.path().filename().string();
            if (name.rfind("veltora-", 0) == 0 && e.path().extension() == ".png") {
                saved.push_back(e.path().string());
            }
        }
        // Names sort as they were taken, a counter after the time within one second.
        std::sort(saved.begin(), saved.end(), [](const std::string& a, const std::string& b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        EXPECT_GT(saved.size(), which) << "screenshots in the folder";
        if (saved.size() <= which) {
            return {};
        }
        const std::string to = m_keep.File(as + ".png");
        std::filesystem::rename(saved[which], to);
        m_lastName = std::filesystem::path(saved[which]).filename().string();
        return to;
    }

private:
    ScratchDir m_dir;
    ScratchDir m_keep;
    std::string m_back;
    std::string m_lastName;
};

device::CameraSourceFactory Photo(const std::string& path)
{
    return [path] { return std::make_unique<photo::PhotoSource>(path); };
}

sdl::Options Pictures(const std::string& picture)
{
    sdl::Options o = WindowRig::One();
    o.picture = picture;
    o.openPicture = [](const std::string& path) -> std::unique_ptr<device::CameraSource> {
        return std::make_unique<photo::PhotoSource>(path);
    };
    return o;
}

#define SKIP_WITHOUT_WINDOW(rig) \
    if (!(rig).window) GTEST_SKIP() << "SDL's offscreen video driver is not available: " << (rig).reason

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
    for (const Turn& t : {Turn{650, 120, 1, false, step}, Turn{200, 300, -1, true, step}, Turn{500, 100, -1, false, 1 / step},
                          Turn{120, 430, 2, false, step * step}}) {
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
    EXPECT_TRUE(rig.WaitFor([&] { return Differing(rig.Shown(), rig.ScreenTurned(0)) <= 40; })) << "Escape left the list";
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
            ASSERT_TRUE(rig.WaitFor([&] { return rig.ShowsScreen(turns, &n); })) << n << " pixels differ from the screen turned " << turns;
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
                    EXPECT_GT(Differing(shown, rig.ScreenTurned(wrong)), 10000) << "a turn of " << wrong << " matches too";
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
    const auto corner = [&] { return Differing(Crop(rig.Shown(), 10, 310, 160, 160), Crop(rig.ScreenTurned(0), 10, 310, 160, 160)); };
    EXPECT_TRUE(rig.WaitFor([&] { return corner() > 5000; })) << "no loupe in the bottom-left corner: " << corner();
    EXPECT_LE(Differing(Crop(rig.Shown(), 630, 10, 160, 160), Crop(rig.ScreenTurned(0), 630, 10, 160, 160)), 40)
        << "the loupe is near the finger";
    rig.Key(SDLK_s);
    rig.Settle();
    EXPECT_LE(Differing(Load(folder.TakeSaved("seen-loupe")), rig.ScreenTurned(0)), 40) << "the loupe is in S's picture";
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 640, 200);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return Differing(rig.Shown(), rig.ScreenTurned(0)) <= 40; })) << "the loupe stayed";
}

TEST(WindowOffscreen, NAndPStepThroughTheFolderAndTheMiddleButtonAims)
{
    ScratchDir dir;
    WritePicture(dir.File("still.png"), 800, 480, 7);
    WritePicture(dir.File("still2.png"), 640, 480, 9);
    WritePicture(dir.File("zspot.png"), 800, 480, 3, [](int x, int y) { return x >= 680 && x < 720 && y >= 130 && y < 170; });
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
    const std::string video("\0\0\0\x20" "ftypisom", 12);
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
    EXPECT_NE(titleLate.find("pitch -85 deg"), std::string::npos) << "the window did not answer while stepping: " << titleLate;
    EXPECT_EQ(out, "showing " + dir.File("z.png") + "\n");
    EXPECT_EQ(err, "veltora: passed over 500 files in " + dir.Path() +
                       ": 400 are not pictures or videos by their content, 100 cannot be shown (the last, c099.mp4: "
                       "the pipeline would not start)\n");
}

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
            why = "quarter " + std::to_string(q) + ": " + std::to_string(right) + " right, " + std::to_string(wrong) + " wrong";
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
        EXPECT_TRUE(Upright(Load(folder.TakeSaved(std::string("seen-") + std::to_string(shot++))), why)) << "S: " << why;
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
    WritePicture(dir.File("spot.png"), 800, 480, 3, [](int x, int y) { return x >= 680 && x < 720 && y >= 130 && y < 170; });
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
                const std::uint32_t p = s.At(static_cast<int>(at.x) + dx, static_cast<int>(at.y) + dy);
                n += ((p >> 8) & 0xFF) > 150 && (p >> 16) < 80;
            }
        }
        return n;
    };
    const device::PointD hub = device::HubOf(device::Dial::Portrait);
    ASSERT_TRUE(rig.WaitFor([&] { return greenAround({700, 150}) == 4; }));
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, 700, 150, SDL_BUTTON_MIDDLE);
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 700, 150, SDL_BUTTON_MIDDLE);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return greenAround(hub) >= 3; })) << greenAround(hub) << " of 4 points green";
    EXPECT_EQ(greenAround(device::HubOf(device::Dial::Landscape)), 0);
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
        return ((rig.ScreenTurned(0).At(700, 300) >> 8) & 0xFF) > 0x40 && Differing(rig.Shown(), rig.ScreenTurned(0)) <= 40;
    })) << std::hex << rig.ScreenTurned(0).At(700, 300) << " " << std::dec << Differing(rig.Shown(), rig.ScreenTurned(0));
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
    EXPECT_TRUE(rig.WaitFor([&] { return Differing(Crop(rig.Shown(), f.x0, f.y0, f.x1 - f.x0, f.y1 - f.y0),
                                                   Crop(before, f.x0, f.y0, f.x1 - f.x0, f.y1 - f.y0)) > 500; }))
        << "the loupe did not follow a fraction of a pixel: " << Differing(Crop(rig.Shown(), f.x0, f.y0, f.x1 - f.x0, f.y1 - f.y0), Crop(before, f.x0, f.y0, f.x1 - f.x0, f.y1 - f.y0)) << " " << Differing(rig.Shown(), before);
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
        for (const auto& at : {std::pair{0.15, 0.2}, std::pair{0.85, 0.2}, std::pair{0.15, 0.8}, std::pair{0.85, 0.8}, std::pair{0.5, 0.5}}) {
            const int x = static_cast<int>(hold.size.first * at.first), y = static_cast<int>(hold.size.second * at.second);
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, x, y);
            rig.Settle();
            Found f;
            ASSERT_TRUE(rig.WaitFor([&] {
                f = LoupeIn(rig.Shown(), rig.ScreenTurned(hold.turns));
                return f.Any() && f.x1 - f.x0 > 100;
            }));
            // Every pixel of the readout and the hold button is the screen's, as Shift+S saves it.
            const Image shown = rig.Shown(), screen = rig.ScreenTurned(hold.turns);
            for (const auto& k : hold.keep) {
                const device::PointD a = sdl::detail::ScreenToView({double(k[0]), double(k[1])}, 800, 480, hold.turns);
                const device::PointD b = sdl::detail::ScreenToView({double(k[2]), double(k[3])}, 800, 480, hold.turns);
                const int x0 = static_cast<int>(std::min(a.x, b.x)), y0 = static_cast<int>(std::min(a.y, b.y));
                const int x1 = static_cast<int>(std::max(a.x, b.x)), y1 = static_cast<int>(std::max(a.y, b.y));
                EXPECT_EQ(Differing(Crop(shown, x0, y0, x1 - x0, y1 - y0), Crop(screen, x0, y0, x1 - x0, y1 - y0), 0), 0)
                    << "the loupe covers " << x0 << "," << y0 << " to " << x1 << "," << y1;
            }
            // Nor the finger.
            EXPECT_FALSE(x + 10 > f.x0 && x - 10 < f.x1 && y + 10 > f.y0 && y - 10 < f.y1) << "the loupe is on the finger";
            rig.Mouse(SDL_MOUSEBUTTONUP, 0, x, y);
            rig.Settle();
        }
    }
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
                        left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
                    }
                }
                if (text && !inBand) {
                    bands.push_back(y);
                }
                inBand = text;
            }
            return bands.size() > 20;
        })) << bands.size() << " rows of text";
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
    const auto foot = [&] { return Differing(Crop(rig.Shown(), 200, 380, 400, 100), Crop(rig.ScreenTurned(0), 200, 380, 400, 100)); };
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
    EXPECT_TRUE(rig.WaitFor([&] { return Differing(Crop(rig.ScreenTurned(0), 0, 200, 480, 500), Crop(top, 0, 200, 480, 500)) > 5000; }))
        << "the wheel did not scroll the page";
    EXPECT_TRUE(rig.h.Device().GetDisplay().Portrait()) << "the wheel left the help page";
    // And back up again, to the top as it was.
    rig.Wheel(240, 400, 3);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return Differing(rig.ScreenTurned(0), top) <= 40; })) << "the wheel did not scroll back";
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
        const device::PointD c = device::MeasuringCentreOf(device::Dial::Landscape);
        double want = std::atan2(at.second + 0.5 - c.y, at.first + 0.5 - c.x);
        // A line has no sense of direction.
        double d = std::remainder(angle - want, M_PI);
        EXPECT_LT(std::abs(d) * 180 / M_PI, 1.5) << angle * 180 / M_PI << " against " << want * 180 / M_PI;
        rig.Mouse(SDL_MOUSEBUTTONUP, 0, at.first, at.second);
        rig.Settle();
    }
}
