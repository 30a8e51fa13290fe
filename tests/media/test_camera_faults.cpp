// A camera source that fails in the middle of a run: one line says so, the demo scene (or
// nothing) takes its place, and the application keeps getting its frames.
#include <gtest/gtest.h>

#include "demo/DemoScene.h"
#include "support/Harness.h"

using testing_support::Harness;
using testing_support::HarnessOptions;

namespace {

// Shows a flat colour for a few frames, then reports the device gone.
class UnpluggedSource : public device::CameraSource {
public:
    std::string Describe() const override { return "webcam /dev/video3"; }
    bool Open(std::string&) override { return true; }
    std::vector<device::FrameSize> Resolutions() const override { return {{800, 480}}; }
    bool Render(std::int64_t, const device::PixelView& out, std::string& reason) override
    {
        if (++m_frames > 3) {
            reason = "the device was unplugged";
            return false;
        }
        for (int y = 0; y < out.height; y++) {
            std::fill(out.Row(y), out.Row(y) + out.width, 0xFF00FF00u);
        }
        return true;
    }

private:
    int m_frames = 0;
};

} // namespace

TEST(CameraFaults, ASourceThatFailsMidRunGivesWayToTheDemoScene)
{
    for (bool fallback : {true, false}) {
        device::DeviceConfig config;
        config.resDir = testing_support::SourceRes();
        config.cameraSource = [] { return std::make_unique<UnpluggedSource>(); };
        if (fallback) {
            config.fallbackCameraSource = [] { return std::make_unique<demo::DemoScene>(); };
        }
        testing_support::LogCapture log;
        device::Device dev(config);
        app::Runtime runtime(dev, Veltora::CreateInstance, nullptr);
        ASSERT_EQ(runtime.Start(), Osp::Base::E_SUCCESS);
        dev.RunFor(200 * device::kMicrosPerMilli);
        EXPECT_EQ(app::Platform::Of(dev).Screen().Compose().Row(300)[790], 0xFF00FF00u);
        const auto shows = app::Platform::Of(dev).Screen().CanvasShows();
        dev.RunFor(device::kMicrosPerSecond);
        // The application never noticed: its frames kept coming.
        EXPECT_EQ(app::Platform::Of(dev).Screen().CanvasShows(), shows + 15);
        ASSERT_EQ(log.records.size(), 1u);
        EXPECT_NE(log.records[0].message.find("camera: webcam /dev/video3: failed: the device was unplugged"),
                  std::string::npos)
            << log.records[0].message;
        const std::uint32_t now = app::Platform::Of(dev).Screen().Compose().Row(300)[790];
        if (fallback) {
            EXPECT_NE(log.records[0].message.find("using the demo scene instead"), std::string::npos);
            EXPECT_NE(now, 0xFF00FF00u);
        } else {
            EXPECT_NE(log.records[0].message.find("the camera shows nothing"), std::string::npos);
            // The last picture stays.
            EXPECT_EQ(now, 0xFF00FF00u);
        }
        runtime.Finish();
    }
}
