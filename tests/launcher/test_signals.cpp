// Ending a run from outside: SIGINT and SIGTERM end it within a second, in order where they
// can (exit 130 and 143), a reader leaving a pipe is a write failure like any other, and a
// camera source or an application library that would block for ever is refused up front.
#include <gtest/gtest.h>

#include "support/Launch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::Temp;

namespace {

using Clock = std::chrono::steady_clock;
// How long a test waits for a run to exit after its signal.
constexpr std::chrono::milliseconds kExitBound{20000};

std::string Read(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A veltora started in the background, its output going to a file (stdout to `out` when given),
// with the signals a shell leaves it: SIGPIPE kills unless the program says otherwise.
class Running {
public:
    Running(const std::vector<std::string>& args, const std::string& output, int out = -1)
    {
        // Everything the child needs is made before the fork: it only opens and execs.
        std::vector<std::string> all{std::string(VELTORA_BIN_DIR) + "/veltora"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out >= 0 ? out : fd, 1);
            ::dup2(fd, 2);
            ::signal(SIGPIPE, SIG_DFL);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~Running()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool Started() const { return m_pid > 0; }
    // Whether the launcher itself (not the child before it became the launcher) has `path`
    // open: it says nothing else while it waits on a pipe.
    bool HasOpen(const std::string& path) const
    {
        std::error_code ec;
        const std::string proc = "/proc/" + std::to_string(m_pid);
        if (std::filesystem::read_symlink(proc + "/exe", ec).filename() != "veltora") {
            return false;
        }
        const auto wanted = std::filesystem::canonical(path, ec);
        const std::string fds = proc + "/fd";
        for (const auto& e : std::filesystem::directory_iterator(fds, ec)) {
            std::error_code linkError;
            if (std::filesystem::read_symlink(e.path(), linkError) == wanted) {
                return true;
            }
        }
        return false;
    }
    void Signal(int signal) { ::kill(m_pid, signal); }
    // The exit code, or -1 if it did not exit by itself within `limit`.
    int WaitExit(std::chrono::milliseconds limit)
    {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
};

bool WaitFor(const std::string& path, const std::string& text)
{
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < end) {
        if (Read(path).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

TEST(Signals, InterruptAndTerminateEndTheRunInOrderWithTheShellsCodes)
{
    for (const auto& [signal, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        const std::string output = Temp("signal-run-" + std::to_string(signal) + ".txt");
        const std::string trace = Temp("signal-run-" + std::to_string(signal) + ".trace");
        Running run({"--headless", "--real-time", "--seconds", "60", "--trace", trace}, output);
        ASSERT_TRUE(run.Started());
        // The application is going: the form's camera has delivered a frame and it was drawn.
        ASSERT_TRUE(WaitFor(trace, "\"type\":\"canvas\"")) << Read(output);
        run.Signal(signal);
        // The launcher bounds the end itself (its grace period); this only waits for it, with
        // room for a loaded machine and a sanitizer build's leak check.
        EXPECT_EQ(run.WaitExit(kExitBound), code) << Read(output);
        // The application was told: it ended as after any run.
        EXPECT_NE(Read(output).find("Application finished."), std::string::npos) << Read(output);
    }
}

TEST(Signals, ARunStuckReadingAnIdlePipeStillEndsOnASignal)
{
    const std::string fifo = Temp("signal-script.fifo");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Someone holds the pipe open but never writes: reading the script waits for ever.
    const int writer = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    const std::string output = Temp("signal-stuck.txt");
    Running run({"--script", fifo}, output);
    ASSERT_TRUE(run.Started());
    // The script is opened after the signals are taken in hand: once the pipe is open the
    // run is waiting on it, and a signal must end it.
    const auto end = Clock::now() + kExitBound;
    while (!run.HasOpen(fifo) && Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(run.HasOpen(fifo)) << Read(output);
    EXPECT_EQ(run.WaitExit(std::chrono::milliseconds(1)), -1) << "it did not wait for the pipe";
    run.Signal(SIGTERM);
    EXPECT_EQ(run.WaitExit(kExitBound), 143) << Read(output);
    ::close(writer);
}

TEST(Signals, AVideoSourceThatCouldBlockIsRefusedUpFront)
{
    // A FIFO named like a video, with a writer that never writes.
    const std::string fifo = Temp("signal-video.mp4");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    // Were it opened, the run would wait on the pipe for ever and the test's time limit end it.
    const Outcome o = RunVeltora("--headless --seconds 1 --camera " + fifo);
    ::close(writer);
    EXPECT_EQ(o.code, 0) << o.out;
    EXPECT_NE(o.out.find("signal-video.mp4: cannot open: not a regular file"), std::string::npos) << o.out;
}

TEST(Signals, ATraceOrLogIntoAPipeWhoseReaderLeftIsAWriteFailureAndTheRunEndsInOrder)
{
    // Resources in a folder with a long name that holds none: each image the application
    // asks for is a long log record, so the log too says far more than the pipe holds.
    const std::string res = Temp("res-" + std::string(200, 'r'));
    ::mkdir(res.c_str(), 0700);
    for (const std::string what : {"trace", "log"}) {
        // --trace /dev/stdout | head -1: the reader takes one line and goes. The pipe holds
        // a page, so writes go on after the reader left whatever the timing.
        int pipeFds[2];
        ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
        ASSERT_GT(::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096), 0);
        const std::string output = Temp("pipe-run.txt"), shot = Temp("pipe-shot.png");
        std::remove(shot.c_str());
        Running run({"--headless", "--res", res, "--" + what, "/dev/stdout", "--screenshot", shot}, output, pipeFds[1]);
        ::close(pipeFds[1]);
        ASSERT_TRUE(run.Started());
        char c = 0;
        while (::read(pipeFds[0], &c, 1) == 1 && c != '\n') {}
        EXPECT_EQ(c, '\n') << what;
        ::close(pipeFds[0]);
        EXPECT_EQ(run.WaitExit(std::chrono::seconds(60)), 1) << what << "\n" << Read(output);
        const std::string out = Read(output);
        EXPECT_NE(out.find("veltora: cannot write " + what + " file /dev/stdout: Broken pipe\n"), std::string::npos)
            << out;
        EXPECT_EQ(out.find("veltora:"), out.rfind("veltora:")) << "one line: " << out;
        // The run ended as any run does: the application finished and the screenshot was written.
        EXPECT_NE(out.find("Application finished."), std::string::npos) << out;
        EXPECT_GT(Read(shot).size(), 10000u) << what;
    }
}

TEST(Signals, AnApplicationLibraryThatIsAFifoIsRefusedBeforeTheLoaderWaitsOnIt)
{
    const std::string fifo = Temp("libApp.so");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string output = Temp("fifo-app.txt");
    Running run({"--headless", "--app", fifo}, output);
    ASSERT_TRUE(run.Started());
    // A loader stuck on the FIFO never exits: the bound ends the test, the destructor the run.
    EXPECT_EQ(run.WaitExit(std::chrono::seconds(30)), 2) << Read(output);
    EXPECT_EQ(Read(output), "veltora: cannot load application " + fifo + ": not a regular file\n");
}
