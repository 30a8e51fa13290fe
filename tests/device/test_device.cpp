// The phone's hardware on its own, without the platform above it: the display's buffer, touches
// and signals on the event thread, the tilt sensor's source, the device's order and aiming.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "device/Device.h"
#include "support/Frames.h"

using device::Device;
using device::DeviceConfig;
using testing_support::Frame;

namespace {

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
    const std::vector<std::string> want = {"touch 0 10,20", "signal 0 0", "touch 1 1000000,-1000000",
                                           "signal 3 3",    "signal 2 0", "signal 1 0",
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
    EXPECT_EQ(dev.Tilt().Reading(), 3.0f); // lying flat: the last pitch stays
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
