// The phone's hardware on its own, without the platform above it: the display's buffer, touches
// and signals on the event thread, the camera's frames and fallback, the tilt sensor's source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <limits>
#include <string>
#include <vector>

#include "device/Device.h"
#include "support/Frames.h"

using device::Device;
using device::DeviceConfig;
using testing_support::Frame;

namespace {

// A flat colour that can be told to fail, recording what it was asked to render.
class FlatSource : public device::CameraSource {
public:
    FlatSource(std::uint32_t colour, int failAfter = -1) : m_colour(colour), m_failAfter(failAfter) {}
    std::string Describe() const override { return "flat source"; }
    bool Open(std::string& reason) override
    {
        reason = "no such thing";
        return m_opens;
    }
    std::vector<device::FrameSize> Resolutions() const override { return {{4, 2}, {8, 4}}; }
    bool Render(std::int64_t, const device::PixelView& out, std::string& reason) override
    {
        if (m_failAfter >= 0 && m_rendered >= m_failAfter) {
            reason = "unplugged";
            return false;
        }
        ++m_rendered;
        sizes.push_back({out.width, out.height});
        for (int y = 0; y < out.height; y++) {
            std::fill(out.Row(y), out.Row(y) + out.width, m_colour);
        }
        return true;
    }
    void SetAim(const device::Aim& aim) override { aims.push_back(aim); }

    bool m_opens = true;
    std::vector<device::FrameSize> sizes;
    std::vector<device::Aim> aims;

private:
    std::uint32_t m_colour;
    int m_failAfter;
    int m_rendered = 0;
};

// One white pixel on black that moves a column a frame (at time t it stands in column t
// modulo the width, row 1); Update draws only the pixels that change.
class DotSource : public device::CameraSource {
public:
    std::string Describe() const override { return "dot"; }
    bool Open(std::string&) override { return true; }
    std::vector<device::FrameSize> Resolutions() const override { return {{8, 4}}; }
    bool Render(std::int64_t t, const device::PixelView& out, std::string&) override
    {
        calls += 'R';
        for (int y = 0; y < out.height; y++) {
            std::fill(out.Row(y), out.Row(y) + out.width, 0xFF000000u);
        }
        m_dot = static_cast<int>(t % out.width);
        out.Row(1)[m_dot] = 0xFFFFFFFFu;
        return true;
    }
    bool Update(std::int64_t t, const device::PixelView& out, device::PixelRect& changed, std::string&) override
    {
        calls += 'U';
        const int dot = static_cast<int>(t % out.width);
        changed = {};
        if (dot != m_dot) {
            out.Row(1)[m_dot] = 0xFF000000u;
            out.Row(1)[dot] = 0xFFFFFFFFu;
            changed = device::PixelRect{m_dot, 1, 1, 1}.United({dot, 1, 1, 1});
            m_dot = dot;
        }
        return true;
    }
    std::string calls;

private:
    int m_dot = 0;
};

// Draws a colour that depends on the version, and turns when asked.
class Content : public device::Display::Content {
public:
    bool Portrait() const override { return portrait; }
    std::uint64_t Version() const override { return version; }
    void Draw(const device::PixelView& target) override
    {
        ++draws;
        for (int y = 0; y < target.height; y++) {
            std::fill(target.Row(y), target.Row(y) + target.width, 0xFF000000u | std::uint32_t(version));
        }
    }
    bool portrait = false;
    std::uint64_t version = 1;
    int draws = 0;
};

struct Notices {
    std::vector<std::string> lines;
    void Attach(Device& dev)
    {
        dev.SetNoticeHook([this](const char*, int, const std::string& m) { lines.push_back(m); });
    }
};

} // namespace

TEST(Display, ComposesTheContentAtTheScreensSizeInEitherOrientation)
{
    Device dev;
    device::Display& display = dev.GetDisplay();
    // With nothing running, the screen is the landscape buffer and never changes.
    EXPECT_EQ(display.Version(), 0u);
    device::PixelView v = display.Compose();
    EXPECT_EQ(v.width, 800);
    EXPECT_EQ(v.height, 480);

    Content content;
    display.SetContent(&content);
    content.version = 0x42;
    v = display.Compose();
    EXPECT_EQ(content.draws, 1);
    EXPECT_EQ(v.Row(479)[799], 0xFF000042u);
    EXPECT_EQ(display.Version(), 0x42u);

    content.portrait = true;
    EXPECT_EQ(display.Width(), 480);
    EXPECT_EQ(display.Height(), 800);
    v = display.Compose();
    EXPECT_EQ(v.width, 480);
    EXPECT_EQ(v.height, 800);
    EXPECT_EQ(v.stride, 480 * 4);
    EXPECT_EQ(v.Row(799)[479], 0xFF000042u);
    display.SetContent(nullptr);
    EXPECT_FALSE(display.Portrait());
}

TEST(TouchPanel, TouchesAndSignalsArriveInOrderOnTheEventThreadClamped)
{
    Device dev;
    std::vector<std::string> seen;
    dev.Touch().SetHandler([&](device::TouchPhase phase, int x, int y) {
        seen.push_back("touch " + std::to_string(int(phase)) + " " + std::to_string(x) + "," + std::to_string(y));
    });
    dev.SetSignalHandler([&](device::Signal s, int value) {
        seen.push_back("signal " + std::to_string(int(s)) + " " + std::to_string(value));
    });
    dev.PostTouch(device::TouchPhase::Press, 10, 20);
    dev.PostBackground();
    dev.PostTouch(device::TouchPhase::Move, std::numeric_limits<int>::max(), std::numeric_limits<int>::min());
    dev.PostBatteryLevel(device::BatteryLevel::Critical);
    dev.PostLowMemory();
    dev.PostForeground();
    dev.PostTouch(device::TouchPhase::Release, -5, 7);
    // Nothing reaches the handlers until the loop runs.
    EXPECT_TRUE(seen.empty());
    dev.RunFor(0);
    const std::vector<std::string> want = {
        "touch 0 10,20", "signal 0 0", "touch 1 1000000,-1000000", "signal 3 3", "signal 2 0", "signal 1 0",
        "touch 2 -5,7"};
    EXPECT_EQ(seen, want);

    // Without handlers the phone's events go nowhere, and nothing breaks.
    dev.Touch().SetHandler(nullptr);
    dev.SetSignalHandler(nullptr);
    dev.PostTouch(device::TouchPhase::Press, 1, 1);
    dev.PostBackground();
    dev.RunFor(0);
    EXPECT_EQ(seen.size(), want.size());
}

TEST(TiltSensor, ReportsThePitchPostedAndTheInitialOne)
{
    DeviceConfig config;
    config.initialPitch = 12.5f;
    Device dev(config);
    EXPECT_EQ(dev.Tilt().Pitch(), 12.5f);
    dev.PostPitch(-90.0f);
    EXPECT_EQ(dev.Tilt().Pitch(), 12.5f);
    dev.RunFor(0);
    EXPECT_EQ(dev.Tilt().Pitch(), -90.0f);
}

// Hands out the readings it is given, one per Read, then repeats the last.
class ScriptedTilt : public device::TiltSource {
public:
    struct Step {
        Result result;
        float pitch;
    };
    explicit ScriptedTilt(std::vector<Step> steps) : m_steps(std::move(steps)) {}
    std::string Describe() const override { return "scripted sensor"; }
    Result Read(float& pitch, std::string& reason) override
    {
        const Step& s = m_steps[std::min(m_next++, m_steps.size() - 1)];
        if (s.result == Result::Pitch) {
            pitch = s.pitch;
        }
        reason = "it fell off";
        return s.result;
    }

private:
    std::vector<Step> m_steps;
    size_t m_next = 0;
};

TEST(TiltSensor, ReadsItsSourceKeepsThePitchWhenLevelAndHandsOverToTheKeysWhenItFails)
{
    using R = device::TiltSource::Result;
    Device dev;
    std::vector<std::string> notices;
    dev.SetNoticeHook([&](const char*, int, const std::string& m) { notices.push_back(m); });
    dev.Tilt().SetSource(std::make_unique<ScriptedTilt>(
        std::vector<ScriptedTilt::Step>{{R::Pitch, 3.0f}, {R::Level, 99.0f}, {R::Pitch, 175.0f}, {R::Failed, 0.0f}}));
    // A key press while the sensor works lasts only until the next reading.
    dev.Tilt().SetPitch(-90.0f);
    EXPECT_EQ(dev.Tilt().Reading(), 3.0f);
    EXPECT_EQ(dev.Tilt().Reading(), 3.0f);   // lying flat: the last pitch stays
    EXPECT_EQ(dev.Tilt().Reading(), 175.0f);
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(dev.Tilt().Reading(), 175.0f); // failed: no jump
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("scripted sensor"), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find("it fell off"), std::string::npos) << notices[0];
    EXPECT_EQ(dev.Tilt().Source(), nullptr);
    // From now on the keys rule, and nothing more is said.
    dev.Tilt().SetPitch(-90.0f);
    EXPECT_EQ(dev.Tilt().Reading(), -90.0f);
    EXPECT_EQ(dev.Tilt().Reading(), -90.0f);
    EXPECT_EQ(notices.size(), 1u);
}

TEST(CameraSensor, RendersStraightIntoATargetOfItsSizeAndScalesOtherSizes)
{
    FlatSource* source = nullptr;
    DeviceConfig config;
    config.cameraSource = [&] {
        auto s = std::make_unique<FlatSource>(0xFF3366CCu);
        source = s.get();
        return s;
    };
    Device dev(config);
    ASSERT_TRUE(dev.Camera().EnsureSource());
    EXPECT_EQ(dev.Camera().Resolutions().size(), 2u);

    Frame target(8, 4, 3);
    ASSERT_TRUE(dev.Camera().Capture(0, {8, 4}, target.View()));
    ASSERT_EQ(source->sizes.size(), 1u);
    EXPECT_EQ(source->sizes[0], (device::FrameSize{8, 4}));
    EXPECT_EQ(target.At(7, 3), 0xFF3366CCu);
    // The padding past each row stays untouched.
    EXPECT_EQ(target.words[8], testing_support::kPoison);

    Frame scaled(8, 4, 3);
    ASSERT_TRUE(dev.Camera().Capture(0, {4, 2}, scaled.View()));
    EXPECT_EQ(source->sizes.back(), (device::FrameSize{4, 2}));
    for (int y = 0; y < 4; y++) {
        for (int x = 0; x < 8; x++) {
            EXPECT_TRUE(testing_support::Near(scaled.At(x, y), 0xFF3366CCu, 1)) << x << "," << y;
        }
    }
    EXPECT_EQ(scaled.words[8], testing_support::kPoison);

    // No target: the frame is counted, nothing is rendered.
    const auto renders = source->sizes.size();
    EXPECT_FALSE(dev.Camera().Capture(0, {8, 4}, device::PixelView{}));
    EXPECT_EQ(source->sizes.size(), renders);
    EXPECT_EQ(dev.Camera().FramesProduced(), 3u);
}

TEST(CameraSensor, KeepsTheAimWithinReachAndPassesItOn)
{
    FlatSource* source = nullptr;
    DeviceConfig config;
    config.cameraSource = [&] {
        auto s = std::make_unique<FlatSource>(0xFF000000u);
        source = s.get();
        return s;
    };
    Device dev(config);
    // The centre may go as far past the picture's edge as puts that edge on the frame's
    // far edge: half a frame (1/zoom of the picture) beyond it, no further.
    dev.PostAim({20.0, -1.0, std::nan("")});
    dev.RunFor(0);
    EXPECT_EQ(dev.Camera().GetAim(), (device::Aim{8.0, -0.0625, 0.5}));
    ASSERT_FALSE(source->aims.empty());
    EXPECT_EQ(source->aims.back(), (device::Aim{8.0, -0.0625, 0.5}));
    dev.Camera().SetAim({std::numeric_limits<double>::infinity(), 0.25, 2.0});
    EXPECT_EQ(dev.Camera().GetAim(), (device::Aim{1.0, 0.25, 1.5}));
    dev.Camera().SetAim({0.01, 0.5, 0.5});
    EXPECT_EQ(dev.Camera().GetAim(), (device::Aim{device::kMinZoom, 0.5, 0.5}));
    // A source opened later is aimed as the camera is.
    dev.Camera().SetAim({1.0, 0.25, 2.0});
    ASSERT_TRUE(dev.Camera().EnsureSource());
    EXPECT_EQ(source->aims.back(), (device::Aim{1.0, 0.25, 1.5}));
}

TEST(CameraSensor, ASourceThatFailsGivesWayToTheFallbackOnceWithOneNotice)
{
    for (bool opens : {true, false}) {
        DeviceConfig config;
        config.cameraSource = [opens] {
            auto s = std::make_unique<FlatSource>(0xFF00FF00u, 1);
            s->m_opens = opens;
            return s;
        };
        config.fallbackCameraSource = [] { return std::make_unique<FlatSource>(0xFFFF0000u); };
        Device dev(config);
        Notices notices;
        notices.Attach(dev);
        Frame target(4, 2);
        EXPECT_TRUE(dev.Camera().Capture(0, {4, 2}, target.View()));
        ASSERT_EQ(notices.lines.size(), opens ? 0u : 1u);
        EXPECT_EQ(target.At(0, 0), opens ? 0xFF00FF00u : 0xFFFF0000u);
        EXPECT_TRUE(dev.Camera().Capture(0, {4, 2}, target.View()));
        EXPECT_EQ(target.At(3, 1), 0xFFFF0000u);
        ASSERT_EQ(notices.lines.size(), 1u);
        EXPECT_EQ(notices.lines[0], opens ? "camera: flat source: failed: unplugged; using the flat source instead"
                                          : "camera: flat source: cannot open: no such thing; using the flat source instead");
    }
}

TEST(CameraSensor, ASourceThatGivesWayIsToldToTheUserWhereSomeoneListens)
{
    DeviceConfig config;
    config.cameraSource = [] {
        auto s = std::make_unique<FlatSource>(0xFF00FF00u);
        s->m_opens = false;
        return s;
    };
    config.fallbackCameraSource = [] { return std::make_unique<FlatSource>(0xFFFF0000u); };
    std::vector<std::string> told;
    config.tell = [&told](const std::string& m) { told.push_back(m); };
    Device dev(config);
    Notices notices;
    notices.Attach(dev);
    Frame target(4, 2);
    EXPECT_TRUE(dev.Camera().Capture(0, {4, 2}, target.View()));
    EXPECT_TRUE(notices.lines.empty());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "camera: flat source: cannot open: no such thing; using the flat source instead");
}

TEST(CameraSensor, WithoutAnyPictureTheTargetKeepsItsLastFrame)
{
    DeviceConfig config;
    config.cameraSource = [] { return std::make_unique<FlatSource>(0xFF00FF00u, 1); };
    Device dev(config);
    Notices notices;
    notices.Attach(dev);
    Frame target(4, 2);
    EXPECT_TRUE(dev.Camera().Capture(0, {4, 2}, target.View()));
    EXPECT_FALSE(dev.Camera().Capture(0, {4, 2}, target.View()));
    EXPECT_FALSE(dev.Camera().EnsureSource());
    EXPECT_EQ(target.At(0, 0), 0xFF00FF00u);
    ASSERT_EQ(notices.lines.size(), 1u);
    EXPECT_EQ(notices.lines[0], "camera: flat source: failed: unplugged; the camera shows nothing");

    Device bare;
    Notices quiet;
    quiet.Attach(bare);
    EXPECT_FALSE(bare.Camera().EnsureSource());
    EXPECT_TRUE(bare.Camera().Resolutions().empty());
    ASSERT_EQ(quiet.lines.size(), 1u);
    EXPECT_EQ(quiet.lines[0], "camera: camera: no camera source; the camera shows nothing");
}

TEST(CameraSensor, OnlyTheTargetFilledLastGetsJustTheChanges)
{
    DotSource* source = nullptr;
    DeviceConfig config;
    config.cameraSource = [&] {
        auto s = std::make_unique<DotSource>();
        source = s.get();
        return s;
    };
    Device dev(config);
    device::CameraSensor& camera = dev.Camera();
    const auto dotAt = [](const Frame& f, int column) {
        for (int y = 0; y < f.height; y++) {
            for (int x = 0; x < f.width; x++) {
                if (f.At(x, y) != (x == column && y == 1 ? 0xFFFFFFFFu : 0xFF000000u)) {
                    return false;
                }
            }
        }
        return true;
    };
    Frame target(8, 4, 2);
    device::PixelRect changed;
    // The first frame is drawn whole; then only the dot's old and new pixels.
    ASSERT_TRUE(camera.CaptureChanges(2, {8, 4}, target.View(), changed));
    EXPECT_EQ(changed, (device::PixelRect{0, 0, 8, 4}));
    ASSERT_TRUE(camera.CaptureChanges(5, {8, 4}, target.View(), changed));
    EXPECT_EQ(changed, (device::PixelRect{2, 1, 4, 1}));
    EXPECT_TRUE(dotAt(target, 5));
    ASSERT_TRUE(camera.CaptureChanges(13, {8, 4}, target.View(), changed));
    EXPECT_TRUE(changed.Empty()) << "the dot stands in column 5 again";
    EXPECT_EQ(target.words[8], testing_support::kPoison);
    EXPECT_EQ(source->calls, "RUU");

    // Another target in between: the first one no longer holds the source's last frame.
    Frame other(8, 4);
    ASSERT_TRUE(camera.CaptureChanges(6, {8, 4}, other.View(), changed));
    ASSERT_TRUE(camera.CaptureChanges(7, {8, 4}, target.View(), changed));
    EXPECT_EQ(changed, (device::PixelRect{0, 0, 8, 4}));
    EXPECT_TRUE(dotAt(target, 7));
    // A plain capture draws the whole frame, and a frame of another size is scaled whole.
    ASSERT_TRUE(camera.Capture(8, {8, 4}, target.View()));
    ASSERT_TRUE(camera.CaptureChanges(9, {4, 2}, target.View(), changed));
    EXPECT_EQ(changed, (device::PixelRect{0, 0, 8, 4}));
    ASSERT_TRUE(camera.CaptureChanges(13, {4, 2}, target.View(), changed));
    EXPECT_TRUE(changed.Empty());
    ASSERT_TRUE(camera.CaptureChanges(14, {4, 2}, target.View(), changed));
    EXPECT_EQ(changed, (device::PixelRect{0, 0, 8, 4}));
    EXPECT_EQ(source->calls, "RUURRRRUU");

    // A new source starts afresh; one that knows nothing of changes changes it all.
    camera.SetSource(std::make_unique<FlatSource>(0xFF3366CCu));
    for (int i = 0; i < 2; i++) {
        ASSERT_TRUE(camera.CaptureChanges(20 + i, {8, 4}, target.View(), changed));
        EXPECT_EQ(changed, (device::PixelRect{0, 0, 8, 4}));
        EXPECT_EQ(target.At(5, 1), 0xFF3366CCu);
    }
}

TEST(Device, TheSoftwareGoesBeforeTheHardwareItUses)
{
    struct Seen {
        bool gone = false;
        Device* current = reinterpret_cast<Device*>(1);
    };
    struct Recorder : Device::Software {
        Recorder(Device& d, Seen& s) : dev(d), seen(s) {}
        ~Recorder() override
        {
            // The loop is still there to cancel against.
            dev.Loop().Cancel(timer);
            // Whatever it tears down cannot find the phone and start the system again.
            seen.current = Device::Current();
            seen.gone = true;
        }
        Device& dev;
        Seen& seen;
        device::EventLoop::TimerId timer = 0;
    };
    Seen seen;
    {
        Device dev;
        EXPECT_EQ(Device::Current(), &dev);
        auto recorder = std::make_unique<Recorder>(dev, seen);
        recorder->timer = dev.Loop().PostAfter(1000, [] {});
        Recorder* raw = recorder.get();
        dev.SetSoftware(std::move(recorder));
        EXPECT_EQ(dev.GetSoftware(), raw);
    }
    EXPECT_TRUE(seen.gone);
    EXPECT_EQ(seen.current, nullptr);
    EXPECT_EQ(Device::Current(), nullptr);
}

TEST(Device, ResolvesResourcePathsInItsFolder)
{
    DeviceConfig config;
    config.resDir = "/tmp/res";
    Device dev(config);
    EXPECT_EQ(dev.ResolvePath("/Res/a.png"), "/tmp/res/a.png");
    EXPECT_EQ(dev.ResolvePath("/Resources/a.png"), "/Resources/a.png");
    dev.SetResDir("");
    EXPECT_EQ(dev.ResolvePath("/Res/a.png"), "Res/a.png");
}

TEST(Aiming, AnyPicturePointReachesAnyFramePointAtAnyZoom)
{
    // A 4:3 photo on the 800x480 frame: wider frame, so the picture is cropped top and bottom.
    const device::FrameSize photo{4000, 3000}, frame{800, 480};
    for (double zoom : {device::kMinZoom, 0.6, 1.0, 2.5, device::kMaxZoom}) {
        for (device::PointD p : {device::PointD{0, 0}, {1, 1}, {0.02, 0.97}, {0.5, 0.5}}) {
            for (device::PointD f : {device::PointD{400.5, 469.5}, {399.5, 239.5}, {0.5, 0.5}, {799.5, 479.5}}) {
                const device::Aim aim = device::AimPointAt(zoom, photo, frame, p, f);
                const device::PointD seen = device::PictureToFrame(aim, photo, frame, p);
                EXPECT_NEAR(seen.x, f.x, 1e-6) << zoom << " " << p.x << "," << p.y;
                EXPECT_NEAR(seen.y, f.y, 1e-6) << zoom << " " << p.x << "," << p.y;
                const device::PointD back = device::FrameToPicture(aim, photo, frame, f);
                EXPECT_NEAR(back.x, p.x, 1e-9);
                EXPECT_NEAR(back.y, p.y, 1e-9);
            }
        }
    }
}

TEST(Aiming, TheWholePictureFitsTheFrameAndAnUnknownPictureHasTheFramesShape)
{
    const device::FrameSize frame{800, 480};
    // A 4:3 photo covers the frame at zoom 1 (1:5 scale across 800 of 4000 would leave a gap
    // below; 480/3000 is the cover), and shows whole at 0.16/0.2 = 0.8.
    EXPECT_DOUBLE_EQ(device::CoverScale({4000, 3000}, frame), 0.2);
    EXPECT_DOUBLE_EQ(device::WholePictureZoom({4000, 3000}, frame), 0.8);
    const device::Aim whole{device::WholePictureZoom({4000, 3000}, frame), 0.5, 0.5};
    const device::PointD topLeft = device::PictureToFrame(whole, {4000, 3000}, frame, {0, 0});
    const device::PointD bottomRight = device::PictureToFrame(whole, {4000, 3000}, frame, {1, 1});
    EXPECT_NEAR(topLeft.y, 0.0, 1e-9);
    EXPECT_NEAR(bottomRight.y, 480.0, 1e-9);
    EXPECT_NEAR(topLeft.x, 80.0, 1e-9); // letterboxed: 80 pixels of black each side
    EXPECT_NEAR(bottomRight.x, 720.0, 1e-9);
    EXPECT_DOUBLE_EQ(device::WholePictureZoom({800, 480}, frame), 1.0);
    EXPECT_DOUBLE_EQ(device::WholePictureZoom({}, frame), 1.0);
    // Past the bounds nothing piles up: an aim far off is brought back within reach.
    const device::Aim far = device::ClampAim({2.0, 50.0, -50.0});
    EXPECT_DOUBLE_EQ(far.centerX, 1.25);
    EXPECT_DOUBLE_EQ(far.centerY, -0.25);
}
