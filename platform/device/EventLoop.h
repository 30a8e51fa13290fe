// The device's one event queue: everything the application is told happens here, one
// event at a time, on the thread that runs the loop, against a real or a virtual clock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

namespace device {

using Micros = std::int64_t;
constexpr Micros kMicrosPerMilli = 1000;
constexpr Micros kMicrosPerSecond = 1000000;
constexpr Micros kForever = INT64_MAX;

enum class ClockKind {
    Real, // wall time: a window, a webcam
    Virtual, // simulated time that jumps to the next event: headless runs and tests
};

class EventLoop {
public:
    using TimerId = std::uint64_t;

    explicit EventLoop(ClockKind clock);
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    ClockKind Clock() const { return m_clock; }
    // Microseconds since the loop was made.
    Micros Now() const;

    // Any thread may post. Events at the same time run in the order they were posted.
    TimerId Post(std::function<void()> fn) { return PostAt(Now(), std::move(fn)); }
    TimerId PostAt(Micros when, std::function<void()> fn);
    TimerId PostAfter(Micros delay, std::function<void()> fn) { return PostAt(Now() + delay, std::move(fn)); }
    // Cancelling an event that already ran or was never posted does nothing.
    void Cancel(TimerId id);
    // Drops every pending event.
    void Clear();
    bool HasPending() const;

    // Runs events until the clock reaches `until` (and every event due by then has run)
    // or until Stop() is called. Returns false if it stopped early.
    bool RunUntil(Micros until);
    bool RunFor(Micros duration) { return RunUntil(Now() + duration); }

    // Makes the running loop (and every later run) return; any thread, also a signal thread.
    void Stop();
    bool Stopped() const;

    // Lets a window backend wait in its own way (it must return when Wake is called).
    struct Waiter {
        virtual ~Waiter() = default;
        virtual void WaitUntil(Micros deadline, Micros now) = 0;
        virtual void Wake() = 0;
    };
    void SetWaiter(Waiter* waiter);

private:
    struct Key {
        Micros when;
        std::uint64_t seq;
        bool operator<(const Key& o) const { return when != o.when ? when < o.when : seq < o.seq; }
    };
    void WakeLocked();

    const ClockKind m_clock;
    const std::int64_t m_realStartNs;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::map<Key, std::function<void()>> m_events;
    std::map<TimerId, Key> m_ids;
    std::uint64_t m_nextSeq = 1;
    Micros m_virtualNow = 0;
    bool m_stopped = false;
    Waiter* m_pWaiter = nullptr;
};

} // namespace device
