// The log's hooks and the trace's sinks: called outside their lock, so one may log or
// remove itself; one call at a time; once removed never called again, nor still running.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/Log.h"
#include "base/Sinks.h"
#include "base/Trace.h"

namespace {

constexpr auto kBound = std::chrono::seconds(20);

// Runs `work` on a thread of its own and tells whether it ended within the bound. A thread
// that hangs is left behind: the test has failed by then anyway.
bool EndsInTime(std::function<void()> work)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ended = done->get_future();
    std::thread thread([work = std::move(work), done] {
        work();
        done->set_value();
    });
    const bool inTime = ended.wait_for(kBound) == std::future_status::ready;
    if (inTime) {
        thread.join();
    } else {
        thread.detach();
    }
    return inTime;
}

} // namespace

TEST(Sinks, ALogHookMayLogAndRemoveItself)
{
    oslog::SetStderr(false);
    auto seen = std::make_shared<std::vector<std::string>>();
    auto token = std::make_shared<int>(0);
    *token = oslog::AddHook([seen, token](const oslog::Record& r) {
        seen->push_back(r.message);
        if (r.message == "first") {
            OSP_PLATFORM_LOG("told from the hook");
            oslog::RemoveHook(*token);
        }
    });
    ASSERT_TRUE(EndsInTime([] {
        OSP_PLATFORM_LOG("first");
        OSP_PLATFORM_LOG("after the hook went");
    })) << "a hook that logs deadlocked the log";
    oslog::SetStderr(true);
    EXPECT_EQ(*seen, (std::vector<std::string>{"first", "told from the hook"}));
}

TEST(Sinks, ATraceSinkMayTraceAndRemoveItself)
{
    auto seen = std::make_shared<std::vector<std::string>>();
    auto token = std::make_shared<int>(0);
    *token = trace::AddSink([seen, token](const trace::Event& e) {
        seen->push_back(e.name);
        if (e.name == "first") {
            trace::Event nested;
            nested.name = "nested";
            trace::Emit(nested);
            trace::RemoveSink(*token);
        }
    });
    ASSERT_TRUE(EndsInTime([] {
        trace::Event e;
        e.name = "first";
        trace::Emit(e);
        e.name = "after";
        trace::Emit(e);
    }));
    EXPECT_EQ(*seen, (std::vector<std::string>{"first", "nested"}));
    EXPECT_FALSE(trace::Enabled());
}

// While one thread is in a sink, another's call and another's removal wait for it: a sink
// is never run twice at once, and once removed nothing of it runs any more.
TEST(Sinks, ACallInProgressHoldsOffOtherThreadsCallsAndRemovals)
{
    base::Sinks<int> sinks;
    std::atomic<int> inside{0}, most{0}, calls{0};
    std::atomic<bool> release{false};
    const int token = sinks.Add([&](int) {
        const int now = ++inside;
        most = std::max(most.load(), now);
        ++calls;
        while (!release) {
            std::this_thread::yield();
        }
        --inside;
    });
    const auto within = [](auto condition, std::chrono::milliseconds bound) {
        const auto until = std::chrono::steady_clock::now() + bound;
        while (!condition() && std::chrono::steady_clock::now() < until) {
            std::this_thread::yield();
        }
        return condition();
    };
    std::thread first([&] { sinks.Call(1); });
    ASSERT_TRUE(within([&] { return calls == 1; }, kBound));

    std::thread second([&] { sinks.Call(2); });
    std::atomic<bool> removed{false};
    int insideWhenRemoved = -1;
    std::thread remover([&] {
        sinks.Remove(token);
        insideWhenRemoved = inside;
        removed = true;
    });
    // Neither has a reason to get through while the first call runs; give a wrong list the
    // chance to let them.
    EXPECT_FALSE(within([&] { return calls > 1 || removed; }, std::chrono::milliseconds(100)));
    release = true;
    first.join();
    second.join();
    remover.join();
    EXPECT_EQ(most, 1);
    EXPECT_EQ(insideWhenRemoved, 0);

    const int after = calls;
    sinks.Call(3);
    EXPECT_EQ(calls, after);
    EXPECT_TRUE(sinks.Empty());
}
