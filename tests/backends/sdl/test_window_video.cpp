// Space, comma and period in the window on a video made here by GStreamer: Space pauses it
// on the frame on show, a step moves exactly one frame either way and stays paused, and
// Space plays it on.
#include <gtest/gtest.h>

#include "backends/CountingVideo.h"
#include "support/WindowFiles.h"
#include "support/WindowRig.h"

namespace {

using counting_video::VideoSource;
using testing_support::ScratchDir;
using testing_support::WindowRig;

TEST(WindowOffscreen, SpaceCommaAndPeriodPauseAndStepAVideo)
{
    ScratchDir dir;
    const std::string path = dir.File("count.avi");
    counting_video::WriteCountingVideo(path);
    if (HasFatalFailure()) return;
    WindowRig rig(WindowRig::One(), [path] { return std::make_unique<VideoSource>(VideoSource::Kind::File, path); });
    SKIP_WITHOUT_WINDOW(rig);
    device::CameraSensor& camera = rig.h.Device().Camera();
    ASSERT_TRUE(rig.WaitFor([&] { return camera.ShownFrame().has_value(); }));
    rig.Key(SDLK_SPACE);
    rig.Settle();
    ASSERT_TRUE(rig.WaitFor([&] { return camera.Paused(); }));
    const std::int64_t paused = camera.ShownFrame()->index;
    // Time passes in the window; the frame stays.
    rig.h.RunMs(500);
    EXPECT_EQ(camera.ShownFrame()->index, paused);
    // From the frame before the last, so that both steps have a frame to go to.
    const std::int64_t from = std::min<std::int64_t>(paused, counting_video::kFrames - 2);
    if (from != paused) {
        rig.Key(SDLK_COMMA);
        rig.Settle();
        ASSERT_TRUE(rig.WaitFor([&] { return camera.ShownFrame()->index == from; }));
    }
    rig.Key(SDLK_PERIOD);
    rig.Settle();
    ASSERT_TRUE(rig.WaitFor([&] { return camera.ShownFrame()->index == from + 1; }));
    EXPECT_TRUE(camera.Paused());
    rig.Key(SDLK_COMMA);
    rig.Settle();
    ASSERT_TRUE(rig.WaitFor([&] { return camera.ShownFrame()->index == from; }));
    rig.h.RunMs(300);
    EXPECT_EQ(camera.ShownFrame()->index, from);
    rig.Key(SDLK_SPACE);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return !camera.Paused() && camera.ShownFrame()->index != from; }));
}

} // namespace
