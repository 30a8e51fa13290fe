// The touch screen: which control a press goes to, positions relative to it, the whole
// gesture kept by that control, the seven callbacks, buttons and the scroll panel.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codec/ImageCodec.h"
#include "support/Frames.h"
#include "support/Harness.h"
#include "ui/TouchRouter.h"

using namespace Osp::Base;
using namespace Osp::Graphics;
using namespace Osp::Ui;
using namespace Osp::Ui::Controls;

namespace {

struct Heard {
    std::string what;
    const Control* source;
    Point at;
    Point start;
};

class Listener : public ITouchEventListener, public IActionEventListener {
public:
    void Add(const char* what, const Control& s, const Point& p, const TouchEventInfo& i)
    {
        heard.push_back({what, &s, p, i.GetStartPosition()});
    }
    void OnTouchPressed(const Control& s, const Point& p, const TouchEventInfo& i) override { Add("pressed", s, p, i); }
    void OnTouchLongPressed(const Control& s, const Point& p, const TouchEventInfo& i) override
    {
        Add("long", s, p, i);
    }
    void OnTouchReleased(const Control& s, const Point& p, const TouchEventInfo& i) override
    {
        Add("released", s, p, i);
    }
    void OnTouchMoved(const Control& s, const Point& p, const TouchEventInfo& i) override { Add("moved", s, p, i); }
    void OnTouchDoublePressed(const Control& s, const Point& p, const TouchEventInfo& i) override
    {
        Add("double", s, p, i);
    }
    void OnTouchFocusIn(const Control& s, const Point& p, const TouchEventInfo& i) override { Add("in", s, p, i); }
    void OnTouchFocusOut(const Control& s, const Point& p, const TouchEventInfo& i) override { Add("out", s, p, i); }
    void OnActionPerformed(const Control&, int actionId) override { actions.push_back(actionId); }
    std::vector<std::string> Kinds() const
    {
        std::vector<std::string> v;
        for (const auto& h : heard) {
            v.push_back(h.what);
        }
        return v;
    }
    std::vector<Heard> heard;
    std::vector<int> actions;
};

// The device hands touches only to a running application.
class QuietApp : public Osp::App::Application {
public:
    bool OnAppInitializing(Osp::App::AppRegistry&) override { return true; }
    bool OnAppTerminating(Osp::App::AppRegistry&, bool) override { return true; }
};

// A form of our own on the device: a panel at (100, 50) listening, a button on it, a
// label with no listener over part of it, and a scroll panel with tall content.
struct Screen {
    testing_support::Harness h{[] {
        testing_support::HarnessOptions o;
        o.startApp = false;
        return o;
    }()};
    Frame frame;
    Form* form = new Form();
    Panel* panel = new Panel();
    Button* button = new Button();
    Label* label = new Label();
    ScrollPanel* scroll = new ScrollPanel();
    Label* tall = new Label();
    Listener l;
    QuietApp app;

    Screen()
    {
        form->Construct(FORM_STYLE_NORMAL);
        panel->Construct(Rectangle(100, 50, 300, 200));
        panel->AddTouchEventListener(l);
        button->Construct(Rectangle(10, 10, 50, 40), "");
        button->SetActionId(7);
        button->AddActionEventListener(l);
        label->Construct(Rectangle(200, 100, 50, 50), "");
        scroll->Construct(Rectangle(500, 0, 200, 300));
        tall->Construct(Rectangle(0, 0, 200, 1000), "");
        panel->AddControl(*button);
        panel->AddControl(*label);
        scroll->AddControl(*tall);
        form->AddControl(*panel);
        form->AddControl(*scroll);
        frame.AddControl(*form);
        frame.SetCurrentForm(*form);
        h.Screen().SetFrame(&frame);
        h.Platform().SetApplication(&app);
    }
    ~Screen()
    {
        h.Platform().SetApplication(nullptr);
        h.Screen().SetFrame(nullptr);
    }
};

} // namespace

TEST(TouchRouter, ThePressedControlKeepsTheGestureWithPositionsRelativeToIt)
{
    Screen s;
    s.h.Press(250, 220); // on the panel, at (150, 170) in it
    s.h.MoveTo(600, 400); // far outside it
    s.h.Release(600, 400);
    ASSERT_EQ(s.l.Kinds(), (std::vector<std::string>{"pressed", "out", "moved", "released"}));
    for (const auto& h : s.l.heard) {
        EXPECT_EQ(h.source, s.panel);
        EXPECT_EQ(h.start, Point(150, 170));
    }
    EXPECT_EQ(s.l.heard[0].at, Point(150, 170));
    EXPECT_EQ(s.l.heard[2].at, Point(500, 350));

    // A label without a listener does not take touches: the panel under it does.
    s.l.heard.clear();
    s.h.Tap(320, 170);
    ASSERT_FALSE(s.l.heard.empty());
    EXPECT_EQ(s.l.heard[0].source, s.panel);
    EXPECT_EQ(s.l.heard[0].at, Point(220, 120));

    // Nothing that takes touches under the finger: nobody hears it.
    s.l.heard.clear();
    s.h.Tap(20, 400);
    EXPECT_TRUE(s.l.heard.empty());
    // A hidden control takes nothing.
    s.panel->SetShowState(false);
    s.h.Tap(250, 220);
    EXPECT_TRUE(s.l.heard.empty());
}

TEST(TouchRouter, LongAndDoublePressesAndFocusComingBack)
{
    Screen s;
    s.h.Press(250, 220);
    s.h.RunMs(900);
    s.h.Release(250, 220);
    EXPECT_EQ(s.l.Kinds(), (std::vector<std::string>{"pressed", "long", "released"}));

    s.h.RunMs(1000);
    s.l.heard.clear();
    s.h.Tap(250, 220);
    s.h.RunMs(100);
    s.h.Tap(252, 221);
    EXPECT_EQ(s.l.Kinds(), (std::vector<std::string>{"pressed", "released", "double", "released"}));

    // Moving off and back on: focus out, then in; a moving finger never long-presses.
    s.h.RunMs(1000);
    s.l.heard.clear();
    s.h.Press(250, 220);
    s.h.MoveTo(50, 220);
    s.h.MoveTo(260, 220);
    s.h.RunMs(1000);
    s.h.Release(260, 220);
    EXPECT_EQ(s.l.Kinds(), (std::vector<std::string>{"pressed", "out", "moved", "in", "moved", "released"}));
}

TEST(TouchRouter, AButtonActsWhenLiftedOverItAndShowsItsPressedLook)
{
    Screen s;
    s.h.Press(120, 70);
    EXPECT_TRUE(s.button->IsPressed());
    s.h.Release(120, 70);
    EXPECT_FALSE(s.button->IsPressed());
    EXPECT_EQ(s.l.actions, (std::vector<int>{7}));
    // Slid off before lifting: no action; back on: it acts again.
    s.h.Press(120, 70);
    s.h.MoveTo(300, 200);
    EXPECT_FALSE(s.button->IsPressed());
    s.h.Release(300, 200);
    EXPECT_EQ(s.l.actions.size(), 1u);
    s.h.Press(120, 70);
    s.h.MoveTo(300, 200);
    s.h.MoveTo(125, 75);
    s.h.Release(125, 75);
    EXPECT_EQ(s.l.actions, (std::vector<int>{7, 7}));
    // The button's touches are its own: the panel heard none of them.
    EXPECT_TRUE(s.l.heard.empty());
}

TEST(TouchRouter, AScrollPanelFollowsTheFingerWithinItsContent)
{
    Screen s;
    EXPECT_EQ(s.scroll->GetScrollRange(), 700);
    s.h.Drag(600, 250, 600, 50, 4); // content up by 200
    EXPECT_EQ(s.scroll->GetScrollPosition(), 200);
    s.h.Drag(600, 290, 600, -2000, 10); // far past the end
    EXPECT_EQ(s.scroll->GetScrollPosition(), 700);
    s.h.Drag(600, 10, 600, 2000, 10);
    EXPECT_EQ(s.scroll->GetScrollPosition(), 0);
}

TEST(TouchRouter, TheHelpImageScrollsByAtMost285)
{
    testing_support::Harness h;
    h.Tilt(-90);
    auto f = h.Inspect();
    h.Tap(40, 115);
    h.Frames(1);
    ASSERT_TRUE(h.Screen().Portrait());
    auto* scroll = static_cast<ScrollPanel*>(f.infoPanel->GetControl(2));
    codec::DecodedImage help;
    std::string reason;
    ASSERT_TRUE(codec::DecodeImageFile(testing_support::SourceRes() + "/info_contents.jpg", help, reason)) << reason;
    ASSERT_EQ(help.height, 1020);
    // The scroll panel starts 65 rows down the 800-row screen; it shows the help image's rows
    // from `top` on, unscaled, down to the screen's last row. The form keeps the picture in
    // 16-bit colour, so each channel may differ by the 565 rounding.
    auto expectHelpFrom = [&](int top) {
        const auto screen = h.Screen().Compose();
        ASSERT_EQ(screen.width, 480);
        ASSERT_EQ(screen.height, 800);
        int rowsWithInk = 0;
        for (int y = 65; y < 800; y += 7) {
            const std::uint32_t* want = help.pixels.data() + std::size_t(top + y - 65) * help.width;
            bool ink = false;
            for (int x = 0; x < 480; x++) {
                ink = ink || (want[x] & 0xFF) < 0x80;
                ASSERT_TRUE(testing_support::Near(screen.Row(y)[x], want[x], 8))
                    << "screen (" << x << ", " << y << ") against help image row " << top + y - 65;
            }
            rowsWithInk += ink;
        }
        EXPECT_GT(rowsWithInk, 20); // the rows compared hold text and drawings, not only paper
    };
    expectHelpFrom(0);
    h.Drag(240, 700, 240, 100, 12);
    EXPECT_EQ(scroll->GetScrollPosition(), 285);
    expectHelpFrom(285); // the bottom of the help image is on screen now
    h.Drag(240, 100, 240, 700, 12);
    EXPECT_EQ(scroll->GetScrollPosition(), 0);
    expectHelpFrom(0);
}
