// The window's wheel turned on past the camera's zoom limits: the zoom stops at the limit and
// the picture point under the mouse stays under it, on the step that crosses and after it.
#include <gtest/gtest.h>

#include <cmath>

#include "device/Aiming.h"
#include "support/WindowFiles.h"
#include "support/WindowRig.h"

using testing_support::WindowRig;

TEST(WindowZoomLimits, ThePointUnderTheMouseStaysPutPastEitherLimit)
{
    WindowRig rig;
    SKIP_WITHOUT_WINDOW(rig);
    rig.h.Tilt(-90);
    rig.Settle();
    device::CameraSensor& camera = rig.h.Device().Camera();
    const device::FrameSize frame = sdl::detail::kFrame;
    const device::FrameSize picture = camera.PictureSize();
    struct Way {
        int x, y;
        float steps; // a step is a quarter of a doubling
        double limit;
    };
    // Seven steps at a time: the limit is crossed in the middle of a turn, not on it.
    for (const Way& w : {Way{650, 120, 7, device::kMaxZoom}, Way{130, 400, -7, device::kMinZoom}}) {
        const device::PointD at{w.x + 0.5, w.y + 0.5};
        const device::PointD under = device::FrameToPicture(camera.GetAim(), picture, frame, at);
        const auto expectStill = [&](const char* when) {
            const device::PointD still = device::FrameToPicture(camera.GetAim(), picture, frame, at);
            EXPECT_NEAR(still.x, under.x, 1e-9) << when << " at " << w.x << "," << w.y;
            EXPECT_NEAR(still.y, under.y, 1e-9) << when << " at " << w.x << "," << w.y;
        };
        // Far enough to cross the limit from wherever the other way left it.
        const int turns = static_cast<int>(std::ceil(4 * std::log2(device::kMaxZoom / device::kMinZoom) / 7)) + 1;
        for (int i = 0; i < turns; i++) {
            rig.Wheel(w.x, w.y, w.steps);
        }
        rig.Settle();
        ASSERT_TRUE(rig.WaitFor([&] { return camera.GetAim().zoom == w.limit; }))
            << "the zoom is " << camera.GetAim().zoom << ", not " << w.limit;
        expectStill("at the limit");
        // Turned on at the limit: nothing moves.
        const device::Aim atLimit = camera.GetAim();
        rig.Wheel(w.x, w.y, w.steps);
        rig.Settle();
        EXPECT_TRUE(camera.GetAim() == atLimit);
        expectStill("turned on past the limit");
    }
}
