// The platform keeps the one record of the application running on its device: a second
// one cannot start beside it, the record goes with the run, and what the modules below ask
// of the platform (the canvas's screen) is there only while a platform runs.
#include <gtest/gtest.h>

#include "Veltora.h"
#include "support/Harness.h"

using namespace Osp::App;
using namespace Osp::Base;
using namespace Osp::Graphics;
using testing_support::Harness;

TEST(RunningRecord, OneApplicationRunsOnADeviceAndTheRecordGoesWithIt)
{
    Harness h;
    Application* first = Application::GetInstance();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, &h.App());
    EXPECT_NE(first->GetAppFrame(), nullptr);

    app::Runtime second(h.Device(), Veltora::CreateInstance, nullptr);
    EXPECT_EQ(second.Start(), E_INVALID_STATE);
    EXPECT_EQ(Application::GetInstance(), first);
    EXPECT_EQ(h.Platform().GetApplication(), first);

    h.Finish();
    EXPECT_EQ(Application::GetInstance(), nullptr);
    EXPECT_EQ(h.Platform().GetApplication(), nullptr);
    EXPECT_EQ(h.Platform().GetAppFrame(), nullptr);

    // The device is free again for another run.
    app::Runtime third(h.Device(), Veltora::CreateInstance, nullptr);
    ASSERT_EQ(third.Start(), E_SUCCESS);
    EXPECT_EQ(Application::GetInstance(), third.App());
    EXPECT_EQ(third.App()->GetAppFrame(), h.Platform().GetAppFrame());
    EXPECT_EQ(third.App()->Terminate(), E_SUCCESS);
    third.Finish();
    EXPECT_EQ(Application::GetInstance(), nullptr);
}

TEST(RunningRecord, ACanvasIsShownOnlyOnARunningPlatform)
{
    Canvas canvas;
    ASSERT_EQ(canvas.Construct(Rectangle(0, 0, 10, 10)), E_SUCCESS);
    {
        device::Device device;
        // A device with nothing running on it has no screen to show a canvas on.
        EXPECT_EQ(canvas.Show(), E_INVALID_STATE);
        app::Platform& platform = app::Platform::Of(device);
        EXPECT_EQ(canvas.Show(), E_SUCCESS);
        EXPECT_EQ(platform.Screen().CanvasShows(), 1u);
    }
    EXPECT_EQ(canvas.Show(), E_INVALID_STATE);
}
