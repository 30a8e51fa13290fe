// Listeners that take others off the list while they are told: one removed in the middle of a
// call is not told of the event in hand (it may be gone), the others are, and so is a later one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Sinks.h"
#include "support/Harness.h"

using namespace Osp::Graphics;
using namespace Osp::Ui;
using namespace Osp::Ui::Controls;

namespace {

// Tells `heard` its name; the first time it is told, takes `victim` off the list (once it has
// a control to do it on).
class Listener : public ITouchEventListener, public IActionEventListener {
public:
    Listener(std::string name, std::vector<std::string>& heard) : m_name(std::move(name)), m_heard(heard) {}
    Listener* victim = nullptr;
    void Heard(const Control& source)
    {
        m_heard.push_back(m_name);
        if (victim) {
            if (auto* button = dynamic_cast<const Button*>(&source)) {
                const_cast<Button*>(button)->RemoveActionEventListener(*victim);
            } else {
                const_cast<Control&>(source).RemoveTouchEventListener(*victim);
            }
            victim = nullptr;
        }
    }
    void OnTouchPressed(const Control& s, const Point&, const TouchEventInfo&) override { Heard(s); }
    void OnTouchLongPressed(const Control&, const Point&, const TouchEventInfo&) override {}
    void OnTouchReleased(const Control& s, const Point&, const TouchEventInfo&) override { Heard(s); }
    void OnTouchMoved(const Control&, const Point&, const TouchEventInfo&) override {}
    void OnTouchDoublePressed(const Control&, const Point&, const TouchEventInfo&) override {}
    void OnTouchFocusIn(const Control&, const Point&, const TouchEventInfo&) override {}
    void OnTouchFocusOut(const Control&, const Point&, const TouchEventInfo&) override {}
    void OnActionPerformed(const Control& s, int) override { Heard(s); }

private:
    std::string m_name;
    std::vector<std::string>& m_heard;
};

class QuietApp : public Osp::App::Application {
public:
    bool OnAppInitializing(Osp::App::AppRegistry&) override { return true; }
    bool OnAppTerminating(Osp::App::AppRegistry&, bool) override { return true; }
};

// A panel at (100, 50) and a button on it at (110, 60), each with three listeners.
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
    std::vector<std::string> heard;
    Listener first{"first", heard}, second{"second", heard}, third{"third", heard};
    QuietApp app;

    Screen()
    {
        form->Construct(FORM_STYLE_NORMAL);
        panel->Construct(Rectangle(100, 50, 300, 200));
        button->Construct(Rectangle(10, 10, 50, 40), "");
        for (Listener* l : {&first, &second, &third}) {
            panel->AddTouchEventListener(*l);
            button->AddActionEventListener(*l);
        }
        panel->AddControl(*button);
        form->AddControl(*panel);
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

TEST(ListenerRemoval, ATouchListenerRemovedByAnotherMidCallIsNotTold)
{
    Screen s;
    s.first.victim = &s.second;
    s.h.Press(300, 200);
    EXPECT_EQ(s.heard, (std::vector<std::string>{"first", "third"}));
    s.h.Release(300, 200);
    EXPECT_EQ(s.heard, (std::vector<std::string>{"first", "third", "first", "third"}));
}

TEST(ListenerRemoval, AnActionListenerRemovedByAnotherMidCallIsNotTold)
{
    Screen s;
    s.first.victim = &s.third;
    s.h.Press(120, 70);
    s.h.Release(120, 70);
    EXPECT_EQ(s.heard, (std::vector<std::string>{"first", "second"}));
    s.h.Press(120, 70);
    s.h.Release(120, 70);
    EXPECT_EQ(s.heard, (std::vector<std::string>{"first", "second", "first", "second"}));
}

TEST(ListenerRemoval, ASinkRemovedByAnotherMidCallIsNotCalled)
{
    base::Sinks<int> sinks;
    std::vector<int> called;
    int victim = 0;
    sinks.Add([&](int item) {
        called.push_back(1);
        sinks.Remove(victim);
        (void)item;
    });
    victim = sinks.Add([&](int) { called.push_back(2); });
    sinks.Add([&](int) { called.push_back(3); });
    sinks.Call(0);
    sinks.Call(0);
    EXPECT_EQ(called, (std::vector<int>{1, 3, 1, 3}));
}
