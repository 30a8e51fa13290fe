// The event queue and its two clocks. The virtual clock never waits: when nothing is
// due it jumps to the next event, so ten simulated seconds pass in milliseconds.
#include "device/EventLoop.h"

#include <chrono>

namespace device {

namespace {
std::int64_t SteadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

EventLoop::EventLoop(ClockKind clock) : m_clock(clock), m_realStartNs(SteadyNs()) {}

Micros EventLoop::Now() const
{
    if (m_clock == ClockKind::Real) {
        return (SteadyNs() - m_realStartNs) / 1000;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_virtualNow;
}

EventLoop::TimerId EventLoop::PostAt(Micros when, std::function<void()> fn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_clock == ClockKind::Virtual && when < m_virtualNow) {
        when = m_virtualNow;
    }
    const Key key{when, m_nextSeq++};
    m_events.emplace(key, std::move(fn));
    m_ids.emplace(key.seq, key);
    WakeLocked();
    return key.seq;
}

void EventLoop::Cancel(TimerId id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_ids.find(id);
    if (it == m_ids.end()) {
        return;
    }
    m_events.erase(it->second);
    m_ids.erase(it);
}

void EventLoop::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.clear();
    m_ids.clear();
}

bool EventLoop::HasPending() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_events.empty();
}

void EventLoop::Stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopped = true;
    WakeLocked();
}

bool EventLoop::Stopped() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stopped;
}

void EventLoop::SetWaiter(Waiter* waiter)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pWaiter = waiter;
}

void EventLoop::WakeLocked()
{
    m_cv.notify_all();
    if (m_pWaiter) {
        m_pWaiter->Wake();
    }
}

bool EventLoop::RunUntil(Micros until)
{
    for (;;) {
        std::function<void()> fn;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_stopped) {
                return false;
            }
            const Micros now = m_clock == ClockKind::Real ? (SteadyNs() - m_realStartNs) / 1000 : m_virtualNow;
            auto first = m_events.begin();
            const Micros next = first == m_events.end() ? kForever : first->first.when;
            if (next > now) {
                if (m_clock == ClockKind::Virtual) {
                    if (next > until || next == kForever) {
                        if (until != kForever && until > m_virtualNow) {
                            m_virtualNow = until;
                        }
                        return true;
                    }
                    m_virtualNow = next;
                } else {
                    if (now >= until) {
                        return true;
                    }
                    const Micros deadline = std::min(next, until);
                    if (m_pWaiter) {
                        Waiter* waiter = m_pWaiter;
                        lock.unlock();
                        waiter->WaitUntil(deadline, now);
                    } else if (deadline == kForever) {
                        m_cv.wait(lock);
                    } else {
                        m_cv.wait_for(lock, std::chrono::microseconds(deadline - now));
                    }
                    continue;
                }
                first = m_events.begin();
            }
            fn = std::move(first->second);
            m_ids.erase(first->first.seq);
            m_events.erase(first);
        }
        fn();
    }
}

} // namespace device
