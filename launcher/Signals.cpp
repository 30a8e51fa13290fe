// The launcher's signal thread: it asks the device to end the run, and stops the process
// itself (exit code 128 + the signal, as shells report it) when the run cannot end in time.
#include "Signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "device/Device.h"

namespace launcher {

SignalWatch::SignalWatch()
{
    sigemptyset(&m_set);
    sigaddset(&m_set, SIGINT);
    sigaddset(&m_set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_set, nullptr);
    // A reader that has gone (--trace /dev/stdout | head) makes writes fail with EPIPE, which
    // each writer tells and counts like a full disk, instead of killing the run silently.
    ::signal(SIGPIPE, SIG_IGN);
    m_thread = std::thread([this] { Watch(); });
}

SignalWatch::~SignalWatch()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
    }
    // Wakes the watch at once; it sees it is done and leaves the signal be.
    pthread_kill(m_thread.native_handle(), SIGTERM);
    m_thread.join();
}

void SignalWatch::RunStarted(device::Device& dev)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pDevice = &dev;
    m_phase = Phase::Running;
    if (m_received) {
        dev.RequestTermination();
    }
}

void SignalWatch::RunEnded()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pDevice = nullptr;
    m_phase = Phase::After;
    m_cv.notify_all();
}

int SignalWatch::Received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

void SignalWatch::StopNow(int signal, const char* why)
{
    if (why) {
        // One write, no locks: other threads may hold anything at this point.
        const ssize_t ignored = ::write(STDERR_FILENO, why, __builtin_strlen(why));
        (void)ignored;
    }
    ::_exit(128 + signal);
}

void SignalWatch::Watch()
{
    const timespec tick{1, 0};
    for (;;) {
        const int signal = sigtimedwait(&m_set, nullptr, &tick);
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_done) {
            return;
        }
        if (signal <= 0) {
            continue;
        }
        if (m_received) {
            // Asked twice: the user does not want to wait.
            StopNow(signal, nullptr);
        }
        m_received = signal;
        if (m_phase == Phase::Before) {
            // Nothing has started that could end in order (a script may still be read from an idle pipe).
            StopNow(signal, nullptr);
        }
        if (m_phase == Phase::After) {
            continue;
        }
        m_pDevice->RequestTermination();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGraceMillis);
        if (!m_cv.wait_until(lock, deadline, [this] { return m_phase == Phase::After; })) {
            StopNow(signal, "veltora: the run did not end in time after the signal; stopped at once\n");
        }
    }
}

} // namespace launcher
