// The event queue and its clocks: order, timers, cancelling, the virtual clock's jumps,
// and posts from other threads.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "device/EventLoop.h"

using device::ClockKind;
using device::EventLoop;
using device::Micros;

TEST(EventLoop, RunsEventsByTimeThenByPostingOrder)
{
    EventLoop loop(ClockKind::Virtual);
    std::vector<int> order;
    loop.PostAt(300, [&] { order.push_back(3); });
    loop.PostAt(100, [&] { order.push_back(1); });
    loop.PostAt(100, [&] { order.push_back(2); });
    loop.Post([&] { order.push_back(0); });
    EXPECT_TRUE(loop.RunUntil(1000));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(loop.Now(), 1000);
}

TEST(EventLoop, VirtualClockJumpsToEachEventAndStopsAtTheLimit)
{
    EventLoop loop(ClockKind::Virtual);
    std::vector<Micros> seen;
    loop.PostAt(2500, [&] { seen.push_back(loop.Now()); });
    loop.PostAt(9000, [&] { seen.push_back(loop.Now()); });
    loop.RunUntil(5000);
    EXPECT_EQ(seen, (std::vector<Micros>{2500}));
    EXPECT_EQ(loop.Now(), 5000);
    EXPECT_TRUE(loop.HasPending());
    // An event due exactly at the limit still runs.
    loop.RunUntil(9000);
    EXPECT_EQ(seen.size(), 2u);
    // With nothing left, running "forever" returns instead of hanging.
    EXPECT_TRUE(loop.RunUntil(device::kForever));
    EXPECT_EQ(loop.Now(), 9000);
}

TEST(EventLoop, CancelledAndClearedEventsNeverRun)
{
    EventLoop loop(ClockKind::Virtual);
    int ran = 0;
    auto a = loop.PostAt(10, [&] { ran += 1; });
    loop.PostAt(20, [&] { ran += 10; });
    loop.Cancel(a);
    loop.Cancel(a); // twice is harmless
    loop.Cancel(12345); // never posted
    loop.RunUntil(100);
    EXPECT_EQ(ran, 10);
    loop.PostAt(200, [&] { ran += 100; });
    loop.Clear();
    loop.RunUntil(300);
    EXPECT_EQ(ran, 10);
}

TEST(EventLoop, AnEventCanPostAndCancelOthers)
{
    EventLoop loop(ClockKind::Virtual);
    std::vector<int> order;
    EventLoop::TimerId later = 0;
    loop.PostAt(10, [&] {
        order.push_back(1);
        loop.Post([&] { order.push_back(2); });
        loop.Cancel(later);
    });
    later = loop.PostAt(20, [&] { order.push_back(99); });
    loop.RunUntil(100);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(EventLoop, StopEndsTheRunFromInsideAndFromAnotherThread)
{
    {
        EventLoop loop(ClockKind::Virtual);
        int ran = 0;
        loop.PostAt(10, [&] {
            ran++;
            loop.Stop();
        });
        loop.PostAt(20, [&] { ran++; });
        EXPECT_FALSE(loop.RunUntil(1000));
        EXPECT_EQ(ran, 1);
        EXPECT_TRUE(loop.Stopped());
    }
    {
        EventLoop loop(ClockKind::Real);
        std::thread t([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            loop.Stop();
        });
        EXPECT_FALSE(loop.RunUntil(device::kForever));
        t.join();
    }
}

TEST(EventLoop, RealClockWaitsForPostsFromOtherThreads)
{
    EventLoop loop(ClockKind::Real);
    std::vector<int> got;
    std::thread t([&] {
        for (int i = 0; i < 5; i++) {
            loop.Post([&got, i] { got.push_back(i); });
        }
        loop.Post([&] { loop.Stop(); });
    });
    loop.RunUntil(device::kForever);
    t.join();
    EXPECT_EQ(got, (std::vector<int>{0, 1, 2, 3, 4}));
}
