// Hold and the help page: every move between the modes, pressed through the real
// invisible buttons, and how background and foreground leave each mode.
#include <gtest/gtest.h>

#include "support/Harness.h"

using namespace Osp::Media;
using testing_support::Harness;

namespace {

// The hold and information images of the landscape layout, where their buttons lie
// once the first tilt reading has laid them out.
constexpr int kHoldX = 753, kHoldY = 48;
constexpr int kInfoX = 40, kInfoY = 115;
// The help page's back button, on the portrait screen.
constexpr int kBackX = 400, kBackY = 32;

struct Modes {
    Harness h;
    MainFormInspector f = h.Inspect();
    Modes() { h.Tilt(-90); }

    bool Previewing() { return f.camera->GetState() == CAMERA_STATE_PREVIEW; }
    bool PageShown() { return f.infoPanel->GetShowState() && !f.cameraPanel->GetShowState(); }
    int Starts() { return h.Trace().Count("Camera::StartPreview"); }
    std::string HoldImage()
    {
        for (const auto& d : h.ShownDraws()) {
            if (d.rfind("hold_", 0) == 0) {
                return d.substr(0, d.find('@'));
            }
        }
        return "";
    }
    void Hold() { h.Tap(kHoldX, kHoldY); }
    void Info() { h.Tap(kInfoX, kInfoY); }
    void Back() { h.Tap(kBackX, kBackY); }
};

} // namespace

TEST(Modes, HoldFreezesAfterOneMoreFrameDrawnWithThePressedImage)
{
    Modes m;
    m.Hold();
    EXPECT_TRUE(m.f.holdOn);
    EXPECT_TRUE(m.Previewing()); // freezing: the next frame completes it
    EXPECT_EQ(m.HoldImage(), "hold_off.png");
    const auto shows = m.h.Screen().CanvasShows();
    m.h.Frames(1);
    EXPECT_FALSE(m.Previewing());
    EXPECT_EQ(m.HoldImage(), "hold_on.png");
    EXPECT_EQ(m.h.Screen().CanvasShows(), shows + 1);
    // Frozen: time passes and nothing is drawn.
    m.h.RunMs(2000);
    EXPECT_EQ(m.h.Screen().CanvasShows(), shows + 1);

    // Hold again: live, with the normal image at the next frame.
    const int starts = m.Starts();
    m.Hold();
    EXPECT_FALSE(m.f.holdOn);
    EXPECT_EQ(m.Starts(), starts + 1);
    m.h.Frames(1);
    EXPECT_TRUE(m.Previewing());
    EXPECT_EQ(m.HoldImage(), "hold_off.png");
}

TEST(Modes, HoldPressedTwiceBeforeAFrameNeverFreezes)
{
    Modes m;
    m.Hold();
    m.Hold();
    EXPECT_FALSE(m.f.holdOn);
    m.h.Frames(3);
    EXPECT_TRUE(m.Previewing());
    EXPECT_EQ(m.HoldImage(), "hold_off.png");
    EXPECT_EQ(m.h.Trace().Count("Camera::StopPreview"), 0);
}

TEST(Modes, InfoWhileLiveShowsThePageAfterTheNextFrame)
{
    Modes m;
    m.Info();
    EXPECT_TRUE(m.f.info);
    EXPECT_TRUE(m.h.Screen().Portrait());
    EXPECT_FALSE(m.PageShown());
    EXPECT_TRUE(m.Previewing());
    m.h.Frames(1);
    EXPECT_TRUE(m.PageShown());
    EXPECT_FALSE(m.Previewing());

    // Back: landscape, camera panel, live, the preview started exactly once.
    const int starts = m.Starts();
    m.Back();
    EXPECT_FALSE(m.f.info);
    EXPECT_FALSE(m.f.holdOn);
    EXPECT_FALSE(m.PageShown());
    EXPECT_TRUE(m.f.cameraPanel->GetShowState());
    EXPECT_FALSE(m.h.Screen().Portrait());
    EXPECT_EQ(m.Starts(), starts + 1);
    EXPECT_TRUE(m.Previewing());
}

TEST(Modes, InfoWhileFrozenShowsThePageAtOnceAndBackReturnsToTheLivePicture)
{
    Modes m;
    m.Hold();
    m.h.Frames(1);
    ASSERT_FALSE(m.Previewing());
    m.Info();
    EXPECT_TRUE(m.PageShown());
    EXPECT_TRUE(m.f.holdOn);
    // A move on the page while held runs the redraw.
    const auto shows = m.h.Screen().CanvasShows();
    m.h.Press(100, 30);
    m.h.MoveTo(110, 30);
    m.h.Release(110, 30);
    EXPECT_EQ(m.h.Screen().CanvasShows(), shows + 1);

    const int starts = m.Starts();
    m.Back();
    EXPECT_FALSE(m.f.holdOn);
    EXPECT_EQ(m.Starts(), starts + 1);
    m.h.Frames(1);
    EXPECT_TRUE(m.Previewing());
    EXPECT_EQ(m.HoldImage(), "hold_off.png");
}

TEST(Modes, InfoWhileFreezingAndHoldWhileOpeningBothEndOnThePageHeld)
{
    {
        Modes m;
        m.Hold(); // freezing
        m.Info(); // swaps at once, as the picture is held
        EXPECT_TRUE(m.PageShown());
        m.h.Trace().Clear();
        m.h.Frames(1); // the frame still due is drawn, then stops twice and swaps again
        EXPECT_EQ(m.h.Trace().Count("Camera::StopPreview"), 2);
        EXPECT_TRUE(m.PageShown());
        EXPECT_TRUE(m.f.holdOn && m.f.info);
    }
    {
        Modes m;
        m.Info(); // opening information
        // The hold button lies under the camera panel, which is still shown until the
        // frame; press it through the form as the button would.
        m.f.form.OnActionPerformed(*m.f.landscapeHoldButton, MainForm::ACTION_ID_HOLD);
        m.h.Trace().Clear();
        m.h.Frames(1);
        EXPECT_EQ(m.h.Trace().Count("Camera::StopPreview"), 2);
        EXPECT_TRUE(m.PageShown());
        EXPECT_EQ(m.HoldImage(), "hold_on.png");
        const int starts = m.Starts();
        m.Back();
        EXPECT_EQ(m.Starts(), starts + 1);
        EXPECT_FALSE(m.f.holdOn);
    }
}

TEST(Modes, AnUnknownActionChangesNothing)
{
    Modes m;
    m.h.Trace().Clear();
    for (int id : {0, 149, 153, -1, 1000}) {
        m.f.form.OnActionPerformed(*m.f.infoButton, id);
    }
    EXPECT_FALSE(m.f.holdOn || m.f.info);
    EXPECT_TRUE(m.Previewing());
    EXPECT_TRUE(m.h.Trace().events.empty());
}

TEST(Modes, BackgroundAndForegroundLeaveEachModeAsItWas)
{
    // Live: the preview simply runs on.
    {
        Modes m;
        m.h.Device().PostBackground();
        m.h.RunMs(300);
        EXPECT_FALSE(m.Previewing());
        m.h.Device().PostForeground();
        m.h.Frames(2);
        EXPECT_TRUE(m.Previewing());
    }
    // Frozen: one frame is drawn with the pressed image and the picture stops again.
    {
        Modes m;
        m.Hold();
        m.h.Frames(1);
        m.f.landscapePin = 12.5;
        m.h.Device().PostBackground();
        m.h.Device().PostForeground();
        m.h.RunMs(0);
        EXPECT_TRUE(m.Previewing());
        const auto shows = m.h.Screen().CanvasShows();
        m.h.Frames(1);
        EXPECT_FALSE(m.Previewing());
        EXPECT_EQ(m.h.Screen().CanvasShows(), shows + 1);
        EXPECT_TRUE(m.f.holdOn);
        EXPECT_EQ(m.HoldImage(), "hold_on.png");
        EXPECT_EQ(m.f.landscapePin, 12.5);
    }
    // The page: shown again after the first frame.
    {
        Modes m;
        m.Info();
        m.h.Frames(1);
        ASSERT_TRUE(m.PageShown());
        m.h.Device().PostBackground();
        m.h.Device().PostForeground();
        m.h.RunMs(0);
        EXPECT_TRUE(m.Previewing());
        m.h.Frames(1);
        EXPECT_FALSE(m.Previewing());
        EXPECT_TRUE(m.PageShown());
        EXPECT_TRUE(m.f.info);
    }
}
