// The device's callbacks taking one another off while they run: a touch watcher removed by
// another, or by itself, mid-touch, and an event cancelled by another due at the same moment.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/EventLoop.h"
#include "device/TouchPanel.h"

using device::TouchPanel;
using device::TouchPhase;

TEST(RemovalInCall, AWatcherRemovedByAnotherMidTouchIsNotTold)
{
    TouchPanel panel;
    std::vector<std::string> told;
    int second = 0;
    // Each captures a string of its own, so a watcher run after it went reads freed memory
    // (which a sanitizer build reports).
    const auto watcher = [&](std::string name, std::function<void()> then = {}) {
        return [&told, name = std::make_shared<std::string>(std::move(name)), then](TouchPhase, int, int) {
            told.push_back(*name);
            if (then) {
                then();
            }
        };
    };
    panel.AddWatcher(watcher("first", [&] { panel.RemoveWatcher(second); }));
    second = panel.AddWatcher(watcher("second"));
    int third = 0;
    third = panel.AddWatcher(watcher("third", [&] { panel.RemoveWatcher(third); }));
    panel.AddWatcher(watcher("fourth"));
    panel.SetHandler([&](TouchPhase, int, int) { told.push_back("handler"); });

    panel.Deliver(TouchPhase::Press, 1, 2);
    EXPECT_EQ(told, (std::vector<std::string>{"first", "third", "fourth", "handler"}));
    told.clear();
    panel.Deliver(TouchPhase::Release, 1, 2);
    EXPECT_EQ(told, (std::vector<std::string>{"first", "fourth", "handler"}));
}

TEST(RemovalInCall, AnEventCancelledByAnotherDueAtTheSameMomentNeverRuns)
{
    device::EventLoop loop(device::ClockKind::Virtual);
    std::vector<int> ran;
    device::EventLoop::TimerId second = 0;
    loop.PostAt(10, [&] {
        ran.push_back(1);
        loop.Cancel(second);
    });
    second = loop.PostAt(10, [&] { ran.push_back(2); });
    loop.PostAt(10, [&] { ran.push_back(3); });
    loop.RunUntil(100);
    EXPECT_EQ(ran, (std::vector<int>{1, 3}));
}
