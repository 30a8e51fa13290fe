// SIGINT and SIGTERM for the launcher: the run ends in order through the application's
// normal termination, and within a second even when something is stuck. SIGPIPE is
// ignored: a closed pipe is a write error like any other.
#pragma once

#include <signal.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace device {
class Device;
}

namespace launcher {

class SignalWatch {
public:
    // Blocks both signals for this thread and every thread started after it, and watches
    // them on a thread of its own; ignores SIGPIPE. Make it first thing, before any library
    // starts threads.
    SignalWatch();
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // The run has started on `dev`: a signal now asks it to end.
    void RunStarted(device::Device& dev);
    // The run has ended in order (the application has been told to terminate).
    void RunEnded();
    // The signal that ended the run, or 0.
    int Received() const;

    // How long the run has to end in order after a signal before the process stops at once.
    static constexpr int kGraceMillis = 800;

private:
    enum class Phase { Before, Running, After };
    void Watch();
    [[noreturn]] static void StopNow(int signal, const char* why);

    sigset_t m_set;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    Phase m_phase = Phase::Before;
    device::Device* m_pDevice = nullptr;
    int m_received = 0;
    bool m_done = false;
    std::thread m_thread;
};

} // namespace launcher
