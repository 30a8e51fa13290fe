// The camera turns with the phone: frames hold the picture turned back by the holding, so it
// is upright as the user sees the screen; aims stay in what the user sees; readings heard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "device/Device.h"
#include "device/Holding.h"
#include "support/Frames.h"

using device::Device;
using device::DeviceConfig;
using device::FrameSize;
using device::PointD;
using testing_support::Frame;

namespace {

constexpr std::uint32_t kTop = 0xFFFF0000u; // the picture's top rows
constexpr std::uint32_t kLeft = 0xFF00FF00u; // its left columns below them
constexpr std::uint32_t kRest = 0xFF808080u;

// A picture with a marked top and left edge, drawn to fill whatever frame it is asked for.
class MarkedSource : public device::CameraSource {
public:
    std::string Describe() const override { return "marked"; }
    bool Open(std::string&) override { return true; }
    std::vector<FrameSize> Resolutions() const override { return {{800, 480}}; }
    bool Render(std::int64_t, const device::PixelView& out, std::string&) override
    {
        sizes.push_back({out.width, out.height});
        for (int y = 0; y < out.height; y++) {
            for (int x = 0; x < out.width; x++) {
                out.Row(y)[x] = y < out.height / 10 ? kTop : x < out.width / 10 ? kLeft : kRest;
            }
        }
        return true;
    }
    void SetAim(const device::Aim& aim) override { aims.push_back(aim); }
    FrameSize PictureSize() const override { return {80, 48}; }

    std::vector<FrameSize> sizes;
    std::vector<device::Aim> aims;
};

struct Rig {
    MarkedSource* source = nullptr;
    std::unique_ptr<Device> device;
    Rig()
    {
        DeviceConfig config;
        config.cameraSource = [this] {
            auto s = std::make_unique<MarkedSource>();
            source = s.get();
            return s;
        };
        device = std::make_unique<Device>(std::move(config));
    }
    // The phone's frame turned as the user holding the phone sees it.
    Frame Seen(int turns)
    {
        Frame frame(800, 480);
        EXPECT_TRUE(device->Camera().Capture(0, {800, 480}, frame.View()));
        const FrameSize view = device::TurnedFrame({800, 480}, turns);
        Frame seen(view.width, view.height);
        for (int y = 0; y < view.height; y++) {
            for (int x = 0; x < view.width; x++) {
                const PointD s = device::TurnPoint({x + 0.5, y + 0.5}, view, -turns);
                seen.words[std::size_t(y) * view.width + x] = frame.At(int(std::floor(s.x)), int(std::floor(s.y)));
            }
        }
        return seen;
    }
};

void ExpectUpright(const Frame& seen, const char* what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(seen.At(seen.width / 2, 2), kTop);
    EXPECT_EQ(seen.At(2, seen.height / 2), kLeft);
    EXPECT_EQ(seen.At(seen.width - 3, seen.height / 2), kRest);
    EXPECT_EQ(seen.At(seen.width / 2, seen.height - 3), kRest);
}

} // namespace

TEST(Holding, TheCameraPictureIsUprightAsTheUserSeesTheScreenInEveryHolding)
{
    for (const float pitch : {-90.0f, 0.0f, 90.0f, 180.0f}) {
        Rig rig;
        rig.device->Tilt().SetPitch(pitch);
        const int turns = device::QuarterTurnsForPitch(pitch);
        ExpectUpright(rig.Seen(turns), ("pitch " + std::to_string(pitch)).c_str());
        // Drawn upright at the shape the user sees, not squeezed into the phone's frame.
        EXPECT_EQ(rig.source->sizes.back(), device::TurnedFrame({800, 480}, turns));
    }
}

TEST(Holding, TheWindowsHoldingOverridesThePitchUntilItLetsGo)
{
    Rig rig;
    rig.device->Tilt().SetPitch(0.0f); // portrait by the sensor
    rig.device->Camera().SetHeldTurns(2);
    EXPECT_EQ(rig.device->Camera().HeldTurns(), 2);
    ExpectUpright(rig.Seen(2), "held by the window");
    rig.device->Camera().SetHeldTurns(std::nullopt);
    EXPECT_EQ(rig.device->Camera().HeldTurns(), 1);
    ExpectUpright(rig.Seen(1), "by the pitch again");
}

TEST(Holding, PictureTurnsTurnThePictureAndTheAimIsOverThePictureAsTurned)
{
    Rig rig;
    device::CameraSensor& camera = rig.device->Camera();
    camera.EnsureSource();
    EXPECT_EQ(camera.PictureSize(), (FrameSize{80, 48}));
    camera.SetAim({2.0, 0.25, 0.5});
    camera.SetPictureTurns(1);
    EXPECT_EQ(camera.PictureSize(), (FrameSize{48, 80}));
    // The picture turned about the point at the centre: that point stays there.
    EXPECT_NEAR(rig.source->aims.back().centerX, 0.25, 1e-12);
    EXPECT_NEAR(rig.source->aims.back().centerY, 0.5, 1e-12);
    // A point of the turned picture is the source's point turned back: (x, y) was (y, 1 - x).
    camera.SetAim({2.0, 0.25, 0.5});
    EXPECT_NEAR(rig.source->aims.back().centerX, 0.5, 1e-12);
    EXPECT_NEAR(rig.source->aims.back().centerY, 0.75, 1e-12);
    // Turned a quarter clockwise, the picture's top is on the right of what the user sees.
    const Frame seen = rig.Seen(0);
    EXPECT_EQ(seen.At(seen.width - 3, seen.height / 2), kTop);
    EXPECT_EQ(seen.At(seen.width / 2, 2), kLeft);
    EXPECT_EQ(camera.PictureTurns(), 1);
    camera.SetPictureTurns(4);
    EXPECT_EQ(camera.PictureTurns(), 0);
}

TEST(Holding, AimingAtAScreenPointWorksInWhatTheUserSeesInEveryHolding)
{
    const PointD hub{400.5, 469.5}; // under the half dial's hub
    for (const float pitch : {-90.0f, 0.0f, 90.0f, 180.0f}) {
        SCOPED_TRACE(pitch);
        Rig rig;
        rig.device->Tilt().SetPitch(pitch);
        device::CameraSensor& camera = rig.device->Camera();
        camera.AimAt(2.0, {0.3, 0.6}, hub, {800, 480});
        const int turns = device::QuarterTurnsForPitch(pitch);
        const PointD seen =
            device::FrameToPicture(camera.GetAim(), camera.PictureSize(), device::TurnedFrame({800, 480}, turns),
                                   device::TurnPoint(hub, {800, 480}, turns));
        EXPECT_NEAR(seen.x, 0.3, 1e-9);
        EXPECT_NEAR(seen.y, 0.6, 1e-9);
    }
}

TEST(Holding, EveryReadingReachesItsWatchersAndAWatcherMayRemoveAnother)
{
    Device device;
    std::vector<std::string> heard;
    int second = 0;
    const int first = device.Tilt().AddReadingWatcher([&](float pitch) {
        heard.push_back("first " + std::to_string(int(pitch)));
        device.Tilt().RemoveReadingWatcher(second); // before its turn: it is not called
    });
    second = device.Tilt().AddReadingWatcher([&](float) { heard.push_back("second"); });
    const int third =
        device.Tilt().AddReadingWatcher([&](float pitch) { heard.push_back("third " + std::to_string(int(pitch))); });
    device.Tilt().SetPitch(0.0f);
    EXPECT_TRUE(heard.empty()); // a pitch set is no reading
    EXPECT_EQ(device.Tilt().Reading(), 0.0f);
    EXPECT_EQ(heard, (std::vector<std::string>{"first 0", "third 0"}));
    device.Tilt().RemoveReadingWatcher(first);
    device.Tilt().RemoveReadingWatcher(third);
    device.Tilt().Reading();
    EXPECT_EQ(heard.size(), 2u);
}
