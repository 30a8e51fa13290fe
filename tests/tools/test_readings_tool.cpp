// veltora-readings as a program against what a user can throw at it: output that cannot be
// written, lines too long or not JSON, and with --follow a trace that grows, is cut short
// and written anew, or replaced by another file of the same name.
#include <gtest/gtest.h>

#include "LineCutter.h"
#include "support/Launch.h"
#include "tools/TraceLines.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using testing_support::Temp;
using namespace testing_support::trace_lines;

namespace {

using Clock = std::chrono::steady_clock;
// Generous: these wait for events that come within a fraction of a second, even under load.
constexpr auto kPatience = std::chrono::seconds(30);

// veltora-readings running, with its standard output (unless given one) and its errors
// read here apart.
class Tool {
public:
    explicit Tool(const std::vector<std::string>& args, int outFd = -1)
    {
        int out[2] = {-1, -1}, err[2];
        if ((outFd < 0 && pipe(out) != 0) || pipe(err) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(outFd >= 0 ? outFd : out[1], 1);
            dup2(err[1], 2);
            for (int fd : {out[0], out[1], err[0], err[1]}) {
                if (fd > 2) {
                    close(fd);
                }
            }
            const std::string tool = std::string(VELTORA_BIN_DIR) + "/veltora-readings";
            std::vector<char*> argv{const_cast<char*>(tool.c_str())};
            for (const auto& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            execv(tool.c_str(), argv.data());
            _exit(127);
        }
        if (outFd < 0) {
            close(out[1]);
            m_out = out[0];
        }
        close(err[1]);
        m_err = err[0];
    }
    ~Tool()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            Wait();
        }
        for (int fd : {m_out, m_err}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    pid_t Pid() const { return m_pid; }
    const std::string& Out() const { return m_outText; }
    const std::string& Err() const { return m_errText; }

    // Reads what the tool printed until `done` holds (true) or the patience runs out, or
    // until its output and errors end (done() is then asked once more).
    template <class Done>
    bool ReadUntil(Done done)
    {
        const auto deadline = Clock::now() + kPatience;
        while (!done()) {
            pollfd fds[2];
            int* ends[2];
            nfds_t n = 0;
            for (int* fd : {&m_out, &m_err}) {
                if (*fd >= 0) {
                    ends[n] = fd;
                    fds[n++] = {*fd, POLLIN, 0};
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (n == 0 || left <= 0) {
                return done();
            }
            if (poll(fds, n, static_cast<int>(std::min<long long>(left, 100))) < 0) {
                continue;
            }
            for (nfds_t i = 0; i < n; i++) {
                if (fds[i].revents) {
                    Drain(*ends[i]);
                }
            }
        }
        return true;
    }
    bool WaitForOutput(const std::string& text)
    {
        return ReadUntil([&] { return m_outText.find(text) != std::string::npos; });
    }
    bool WaitForError(const std::string& text)
    {
        return ReadUntil([&] { return m_errText.find(text) != std::string::npos; });
    }
    // Waits until the tool has read `file` as far as `bytes` (its read position, from /proc).
    bool WaitUntilRead(const std::string& file, off_t bytes)
    {
        const std::string want = std::filesystem::canonical(file).string();
        const auto deadline = Clock::now() + kPatience;
        std::error_code error;
        while (Clock::now() < deadline) {
            for (const auto& entry :
                 std::filesystem::directory_iterator("/proc/" + std::to_string(m_pid) + "/fd", error)) {
                if (std::filesystem::read_symlink(entry.path(), error).string() != want) {
                    continue;
                }
                std::ifstream info("/proc/" + std::to_string(m_pid) + "/fdinfo/" + entry.path().filename().string());
                std::string key;
                long long pos = -1;
                if (info >> key >> pos && key == "pos:" && pos >= bytes) {
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    // The most memory the tool has held so far, in kB.
    long PeakKb() const
    {
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("VmHWM:", 0) == 0) {
                return std::atol(line.c_str() + 6);
            }
        }
        return -1;
    }
    // Its exit code once its output ends, after `signal` when given; -signal when a signal
    // ended it.
    int Finish(int signal = 0)
    {
        if (signal) {
            kill(m_pid, signal);
        }
        ReadUntil([] { return false; });
        return Wait();
    }

private:
    void Drain(int& fd)
    {
        char buf[65536];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) {
            (fd == m_out ? m_outText : m_errText).append(buf, static_cast<size_t>(n));
        } else if (n == 0) {
            close(fd);
            fd = -1;
        }
    }
    int Wait()
    {
        int status = 0;
        if (waitpid(m_pid, &status, 0) != m_pid) {
            return -1000;
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
    }

    pid_t m_pid = -1;
    int m_out = -1, m_err = -1;
    std::string m_outText, m_errText;
};

void Write(const std::string& path, const std::string& text, std::ios::openmode mode = std::ios::trunc)
{
    std::ofstream(path, std::ios::binary | std::ios::out | mode) << text << std::flush;
}

// A canvas line padded with spaces inside its object to exactly `size` bytes.
std::string CanvasOfSize(double t, const std::string& big, std::size_t size)
{
    std::string line = Canvas(t, big, "", 0);
    line.insert(line.size() - 1, std::string(size - line.size(), ' '));
    return line;
}

const std::string kHeader = "time_ms,angle,uncertainty,other_side,orientation,mode,note\n";

} // namespace

TEST(ReadingsTool, LinesAreCutAtTheirLimitAndALongerOneIsPassedOverAsItComes)
{
    std::vector<std::string> got;
    const readings::LineCutter::Sink sink = [&](const std::string& line, bool tooLong) {
        got.push_back(tooLong ? "<too long>" : line);
    };
    // Whole, a byte at a time, and split across a chunk's end: the same lines.
    const std::string bytes = "12345678\n123456789\n\nabc\n1234\n5678";
    for (std::size_t chunk : {bytes.size(), std::size_t(1), std::size_t(5)}) {
        readings::LineCutter lines(8);
        got.clear();
        for (std::size_t i = 0; i < bytes.size(); i += chunk) {
            lines.Feed(bytes.data() + i, std::min(chunk, bytes.size() - i), sink);
        }
        lines.Finish(sink);
        const std::vector<std::string> want = {"12345678", "<too long>", "", "abc", "1234", "5678"};
        EXPECT_EQ(got, want) << "chunks of " << chunk;
        EXPECT_EQ(lines.TooLong(), 1);
    }
    // A line is told too long as its ninth byte comes, not at its end; its rest is dropped.
    readings::LineCutter lines(8);
    got.clear();
    lines.Feed("123456789", 9, sink);
    EXPECT_EQ(got, std::vector<std::string>{"<too long>"});
    lines.Feed("more and more\nok\n123456789", 26, sink);
    lines.Finish(sink);
    EXPECT_EQ(got, (std::vector<std::string>{"<too long>", "ok", "<too long>"}));
    EXPECT_EQ(lines.TooLong(), 2);
}

TEST(ReadingsTool, ALineAtTheLimitIsReadTheFirstLongerAndGarbageAreSkippedAndCounted)
{
    const std::string trace = Temp("limit.jsonl");
    const std::size_t limit = readings::kMaxLineBytes;
    Write(trace, Call(0, "Camera::StartPreview") + "\n" + CanvasOfSize(100, "45.5", limit) + "\n" +
                     CanvasOfSize(200, "60.0", limit + 1) + "\n" + "{\"t\":250,garbage\n" + Canvas(300, "70.0", "", 0) +
                     "\n");
    Tool tool({trace});
    EXPECT_EQ(tool.Finish(), 0) << tool.Err();
    EXPECT_EQ(tool.Out(), kHeader + "100.000,45.5,,,2,live,\n300.000,70.0,,,2,live,\n");
    EXPECT_EQ(tool.Err(),
              "veltora-readings: " + trace + ": skipped 2 of 5 lines (1 not a JSON object, 1 longer than 1 MiB)\n");

    // A file whose first line is too long is no trace, told as soon as the line is.
    Write(trace, std::string(limit + 1, '{') + "\n" + Canvas(300, "70.0", "", 0) + "\n");
    Tool notTrace({trace});
    EXPECT_EQ(notTrace.Finish(), 2);
    EXPECT_EQ(notTrace.Err(), "veltora-readings: " + trace + ":1: not a trace line (longer than 1 MiB)\n");
}

TEST(ReadingsTool, AHugeLineIsPassedOverInLittleMemory)
{
    // 40 MiB in one line, then a reading: the tool follows the trace, so its peak memory can
    // be read once it has shown the reading after the line.
    const std::string trace = Temp("huge.jsonl");
    {
        std::ofstream out(trace, std::ios::binary);
        out << Call(0, "Camera::StartPreview") << "\n{\"x\":\"";
        const std::string block(1 << 20, 'a');
        for (int i = 0; i < 40; i++) {
            out << block;
        }
        out << "\"}\n" << Canvas(300, "70.0", "", 0) << "\n";
    }
    Tool tool({"--follow", trace});
    ASSERT_TRUE(tool.WaitForOutput("300.000,70.0,,,2,live,\n")) << tool.Err();
    const long peakKb = tool.PeakKb();
    EXPECT_GT(peakKb, 0);
    EXPECT_LT(peakKb, 24 * 1024) << "the line's 40 MiB were held";
    EXPECT_EQ(tool.Finish(SIGINT), -SIGINT);
    EXPECT_EQ(tool.Err(), "veltora-readings: " + trace + ": skipped 1 of 3 lines (1 longer than 1 MiB)\n");
}

TEST(ReadingsTool, OutputThatCannotBeWrittenEndsTheRunWithOneLine)
{
    const std::string trace = Temp("written.jsonl");
    Write(trace, Call(0, "Camera::StartPreview") + "\n" + Canvas(100, "45.5", "", 0) + "\n");
    // A full device: the readings and the help alike.
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{trace}, {"--help"}}) {
        Tool tool(args, full);
        EXPECT_EQ(tool.Finish(), 1) << args[0];
        EXPECT_EQ(tool.Err(), "veltora-readings: cannot write the readings: No space left on device\n") << args[0];
    }
    close(full);
    // A reader gone: told, not a silent death by SIGPIPE.
    int gone[2];
    ASSERT_EQ(pipe2(gone, O_CLOEXEC), 0);
    close(gone[0]);
    Tool tool({trace}, gone[1]);
    close(gone[1]);
    EXPECT_EQ(tool.Finish(), 1);
    EXPECT_EQ(tool.Err(), "veltora-readings: cannot write the readings: Broken pipe\n");
}

TEST(ReadingsTool, AGrowingTraceIsReadAsItGrowsAHalfLineWaitsForItsEndAndAHoldForQuiet)
{
    const std::string trace = Temp("growing.jsonl");
    const std::string first = Call(0, "Camera::StartPreview") + "\n" + Canvas(66.667, "90.0", "", 0) + "\n";
    Write(trace, first);
    Tool tool({"--follow", trace});
    ASSERT_TRUE(tool.WaitForOutput(kHeader + "66.667,90.0,,,2,live,\n")) << tool.Err();
    // Half a line, read by the tool, then the rest: the row comes once the line is whole.
    const std::string next = Canvas(133.333, "45.5", "", 0);
    Write(trace, next.substr(0, 40), std::ios::app);
    ASSERT_TRUE(tool.WaitUntilRead(trace, static_cast<off_t>(first.size() + 40)));
    Write(trace, next.substr(40) + "\n", std::ios::app);
    ASSERT_TRUE(tool.WaitForOutput("66.667,90.0,,,2,live,\n133.333,45.5,,,2,live,\n")) << tool.Out();
    // The camera switched off at the end of a run is no hold; a preview stopped alone is told
    // as held once the trace has been quiet for a moment.
    Write(trace, Call(200, "Camera::StopPreview") + "\n" + Call(200, "Camera::PowerOff") + "\n", std::ios::app);
    Write(trace, Call(300, "Camera::StartPreview") + "\n" + Call(400, "Camera::StopPreview") + "\n", std::ios::app);
    ASSERT_TRUE(tool.WaitForOutput("400.000,45.5,,,2,held,\n")) << tool.Out();
    EXPECT_EQ(tool.Finish(SIGTERM), -SIGTERM);
    EXPECT_EQ(tool.Out(), kHeader + "66.667,90.0,,,2,live,\n133.333,45.5,,,2,live,\n400.000,45.5,,,2,held,\n");
    EXPECT_EQ(tool.Err(), "");
}

TEST(ReadingsTool, ATraceCutShortOrReplacedByANewRunIsReadAgainFromItsStart)
{
    const std::string trace = Temp("rewritten.jsonl");
    std::string old = Call(0, "Camera::StartPreview") + "\n";
    for (int i = 1; i <= 20; i++) {
        old += Canvas(i * 100.0, "90.0", "", 0) + "\n";
    }
    old += Canvas(2100, "12.5", "", 0) + "\n";
    Write(trace, old);
    Tool tool({"--follow", trace});
    ASSERT_TRUE(tool.WaitForOutput("2100.000,12.5,,,2,live,\n")) << tool.Err();
    ASSERT_TRUE(tool.WaitUntilRead(trace, static_cast<off_t>(old.size())));

    // A new run truncates the file and writes less than was read: the tool starts again.
    Write(trace, Call(0, "Camera::StartPreview") + "\n" + Canvas(66.667, "33.0", "", 0) + "\n");
    ASSERT_TRUE(tool.WaitForOutput("66.667,33.0,,,2,live,\n")) << tool.Out() << tool.Err();
    EXPECT_EQ(tool.Err(), "veltora-readings: " + trace + " was written anew; reading it from its start\n");

    // Another file put in its place, longer than what was read: known by its inode.
    const std::string other = Temp("rewritten.jsonl.new");
    Write(other, old + Canvas(2200, "77.0", "", 0) + "\n");
    ASSERT_EQ(std::rename(other.c_str(), trace.c_str()), 0);
    ASSERT_TRUE(tool.WaitForOutput("2200.000,77.0,,,2,live,\n")) << tool.Out() << tool.Err();
    EXPECT_EQ(tool.Finish(SIGTERM), -SIGTERM);
    const std::string row = "100.000,90.0,,,2,live,\n2100.000,12.5,,,2,live,\n";
    EXPECT_EQ(tool.Out(), kHeader + row + "66.667,33.0,,,2,live,\n" + row + "2200.000,77.0,,,2,live,\n");
}

// A reading's time is the trace's own: one too large for milliseconds to three decimals is
// printed as written, and a line with no time of its own (a string, null, an object, none)
// is skipped and counted rather than given the time of the line before.
TEST(ReadingsTool, ATimeIsTheTracesOwnOrTheLineIsSkippedAndCounted)
{
    const auto timed = [](const std::string& t, const std::string& big) {
        std::string line = Canvas(0, big, "", 0);
        const std::string zero = "\"t\":0.000000,";
        return line.replace(line.find(zero), zero.size(), t.empty() ? "" : "\"t\":" + t + ",");
    };
    const std::string trace = Temp("times.jsonl");
    Write(trace, Call(0, "Camera::StartPreview") + "\n" + timed("100", "45.5") + "\n" + timed("\"200\"", "50.0") +
                     "\n" + timed("null", "55.0") + "\n" + timed("{\"ms\":300}", "60.0") + "\n" + timed("", "65.0") +
                     "\n" + timed("1e308", "70.0") + "\n" + timed("4398046511103.5", "75.0") + "\n" +
                     timed("-5.25", "80.0") + "\n" + timed("18446744073709551615", "85.0") + "\n");
    Tool tool({trace});
    EXPECT_EQ(tool.Finish(), 0) << tool.Err();
    EXPECT_EQ(tool.Out(), kHeader + "100.000,45.5,,,2,live,\n"
                                    "1e308,70.0,,,2,live,\n"
                                    "4398046511103.500,75.0,,,2,live,\n"
                                    "-5.250,80.0,,,2,live,\n"
                                    "18446744073709551615,85.0,,,2,live,\n");
    EXPECT_EQ(tool.Err(), "veltora-readings: " + trace + ": skipped 4 of 10 lines (4 with no time)\n");
}

TEST(ReadingsTool, VersionIsShownAsVeltorasIs)
{
    Tool version({"--version"});
    EXPECT_EQ(version.Finish(), 0) << version.Err();
    EXPECT_TRUE(std::regex_match(version.Out(), std::regex("veltora-readings [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.Out();
    EXPECT_EQ(version.Err(), "");
}
