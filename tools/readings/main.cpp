// veltora-readings: prints each change of the readout in a trace as CSV, from a finished
// trace or, with --follow, from one that a running veltora is still writing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "LineCutter.h"
#include "Plot.h"
#include "Readings.h"
#include "Series.h"
#include "files/OutputPath.h"

namespace {

const char* kUsage = "usage: veltora-readings [--follow] TRACE\n"
                     "       veltora-readings --series [--follow] TRACE\n"
                     "       veltora-readings --plot FILE TRACE\n"
                     "       veltora-readings --version\n"
                     "\n"
                     "Prints what the readout showed in a veltora trace (--trace FILE), one CSV row per change:\n"
                     "  time_ms      the device time of the change, in milliseconds\n"
                     "  angle        the angle as shown, in degrees (e.g. 105.0); refused where the device's\n"
                     "               finger (C, E, a script's corner or edge) read nothing\n"
                     "  uncertainty  for an angle the finger read, how far it can be trusted, in degrees\n"
                     "               (about a 95 % interval); empty for needles laid by hand\n"
                     "  other_side   on the round dial, the other side (360 minus the angle); else empty\n"
                     "  orientation  the orientation code the readout faces: 0, 1 (round dial), 2, 3 (half dial)\n"
                     "  mode         live, or held while the camera's preview is stopped (hold, help page,\n"
                     "               background)\n"
                     "  note         why a refused row read nothing\n"
                     "\n"
                     "  --follow     keep reading as the trace grows (a run still going), from its start again\n"
                     "               when a new run writes it anew; Ctrl-C ends it\n"
                     "  TRACE        the trace file, or - for standard input\n"
                     "\n"
                     "  --series     one CSV row per reading the device's finger made, instead:\n"
                     "    time_s       the time of the video frame it was read in, in seconds (where the\n"
                     "                 camera showed a video), else the device time\n"
                     "    angle        the angle read, in degrees; empty where nothing was read\n"
                     "    other_side   on the round dial, the other side the readout showed; else empty\n"
                     "    uncertainty  how far the angle can be trusted, in degrees (about a 95 % interval)\n"
                     "    state        read, followed, lost or refused\n"
                     "    frame        the video frame's number (0 is its first); empty without a video\n"
                     "    time_from    video, video frame rate (the video's own times could not be\n"
                     "                 trusted), or run (no video: the device time)\n"
                     "    note         why nothing was read\n"
                     "  --plot FILE  draw the series as angle over time into FILE, a .png or .svg picture:\n"
                     "               the uncertainty as a band about the line, a gap where the corner was\n"
                     "               lost or refused; written whole or not at all, replacing a file there\n"
                     "\n"
                     "Lines that are not trace lines (one JSON object a line, at most 1 MiB), and lines that\n"
                     "would tell a reading but have no time (\"t\") of their own, are skipped and counted in\n"
                     "one line on standard error at the end. A time too large for milliseconds to three\n"
                     "decimals is printed as the trace wrote it.\n";

volatile std::sig_atomic_t g_stop = 0;

const std::string kTooLong = "longer than " + std::to_string(readings::kMaxLineBytes >> 20) + " MiB";

void OnStop(int signal) { g_stop = signal; }

int Fail(const std::string& message)
{
    std::fprintf(stderr, "veltora-readings: %s\n", message.c_str());
    return 2;
}

// Every write is checked: a full disk or a reader gone ends the run with one line.
bool Write(const std::string& text) { return std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0; }

int WriteFailed()
{
    std::fprintf(stderr, "veltora-readings: cannot write the readings: %s\n", std::strerror(errno));
    return 1;
}

// Rows of the readout's changes, or of the series; with a plot to draw they are kept for it.
std::vector<readings::SeriesRow>* g_plotted = nullptr;

bool Print(const std::vector<readings::Reading>& rows)
{
    std::string text;
    for (const auto& r : rows) {
        text += readings::CsvRow(r) + "\n";
    }
    return text.empty() || Write(text);
}

bool Print(std::vector<readings::SeriesRow> rows)
{
    if (g_plotted) {
        g_plotted->insert(g_plotted->end(), rows.begin(), rows.end());
        return true;
    }
    std::string text;
    for (const auto& r : rows) {
        text += readings::SeriesCsvRow(r) + "\n";
    }
    return text.empty() || Write(text);
}

// The trace read as the readout's changes, or as its series of readings.
struct Readers {
    bool series = false;
    readings::Reader reader;
    readings::Series rows;
    bool Line(const std::string& text) { return series ? Print(rows.Line(text)) : Print(reader.Line(text)); }
    bool Flush() { return series ? Print(rows.Flush()) : Print(reader.Flush()); }
    int BadLines() const { return series ? rows.BadLines() : reader.BadLines(); }
    int UntimedLines() const { return series ? rows.UntimedLines() : reader.UntimedLines(); }
};

// The trace being read, and enough of it to know when a new run has written it anew.
struct Trace {
    std::string path;
    int fd = -1;
    bool regular = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t offset = 0;

    ~Trace()
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    void Know()
    {
        struct stat st {};
        if (::fstat(fd, &st) == 0) {
            regular = S_ISREG(st.st_mode);
            dev = st.st_dev;
            ino = st.st_ino;
        }
    }
    // True when the file was cut shorter than what was read (a new run truncates it) or
    // its name now holds another file; reading then starts again at the start.
    bool WrittenAnew()
    {
        if (!regular) {
            return false;
        }
        struct stat st {};
        if (path != "-" && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            (st.st_dev != dev || st.st_ino != ino)) {
            const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (other >= 0) {
                ::close(fd);
                fd = other;
                Know();
                offset = 0;
                return true;
            }
        }
        if (::fstat(fd, &st) == 0 && st.st_size < offset && ::lseek(fd, 0, SEEK_SET) == 0) {
            offset = 0;
            return true;
        }
        return false;
    }
};

// What was skipped, in one line; empty when nothing was.
std::string Skipped(const std::string& path, long lines, long bad, long tooLong, long untimed)
{
    if (bad + tooLong + untimed == 0) {
        return {};
    }
    std::string why;
    if (bad > 0) {
        why = bad == 1 ? "1 not a JSON object" : std::to_string(bad) + " not JSON objects";
    }
    if (tooLong > 0) {
        why += (why.empty() ? "" : ", ") + std::to_string(tooLong) + " " + kTooLong;
    }
    if (untimed > 0) {
        why += (why.empty() ? "" : ", ") + std::to_string(untimed) + " with no time";
    }
    return path + ": skipped " + std::to_string(bad + tooLong + untimed) + " of " + std::to_string(lines) + " lines (" +
           why + ")";
}

void SleepMs(long ms)
{
    // A signal cuts the sleep short, so that Ctrl-C is answered at once.
    const timespec t{ms / 1000, (ms % 1000) * 1000000L};
    ::nanosleep(&t, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    // A reader gone is a write error like any other, told and not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    bool follow = false;
    bool series = false;
    std::string path;
    std::string plot;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return Write(kUsage) ? 0 : WriteFailed();
        } else if (arg == "--version") {
            return Write("veltora-readings " VELTORA_VERSION "\n") ? 0 : WriteFailed();
        } else if (arg == "--follow" || arg == "-f") {
            follow = true;
        } else if (arg == "--series") {
            series = true;
        } else if (arg == "--plot") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                return Fail("--plot needs a file to write (see veltora-readings --help)");
            }
            plot = argv[++i];
        } else if (path.empty() && (arg == "-" || arg[0] != '-')) {
            path = arg;
        } else {
            return Fail("unexpected '" + arg + "' (see veltora-readings --help)");
        }
    }
    if (path.empty()) {
        return Fail("name a trace file (see veltora-readings --help)");
    }
    if (!plot.empty() && follow) {
        return Fail("--plot draws a finished trace; it cannot --follow one");
    }
    std::vector<readings::SeriesRow> plotted;
    if (!plot.empty()) {
        series = true;
        g_plotted = &plotted;
        // A plot that could not be written is known before the trace is read.
        std::string why;
        outpath::Target target;
        if (!outpath::Resolve(plot, outpath::Kind::Replaced, target, why)) {
            return Fail("cannot write " + plot + ": " + why);
        }
    }
    Trace trace;
    trace.path = path;
    trace.fd = path == "-" ? ::dup(0) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (trace.fd < 0) {
        return Fail("cannot read " + path + ": " + std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(trace.fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        return Fail(path + " is a folder, not a trace");
    }
    trace.Know();
    trace.offset = trace.regular ? std::max<off_t>(::lseek(trace.fd, 0, SEEK_CUR), 0) : 0;
    if (follow) {
        struct sigaction stop {};
        stop.sa_handler = OnStop;
        sigemptyset(&stop.sa_mask);
        ::sigaction(SIGINT, &stop, nullptr);
        ::sigaction(SIGTERM, &stop, nullptr);
    }
    if (plot.empty() && !Write((series ? readings::SeriesHeader() : readings::CsvHeader()) + "\n")) {
        return WriteFailed();
    }

    Readers reader;
    reader.series = series;
    readings::LineCutter lines;
    long lineNo = 0; // in this writing of the trace
    long allLines = 0; // in all of them
    long badBefore = 0; // in the writings before this one
    long untimedBefore = 0;
    bool writeFailed = false;
    std::string notTrace;
    const auto onLine = [&](const std::string& text, bool tooLong) {
        lineNo++;
        allLines++;
        if (writeFailed || !notTrace.empty()) {
            return;
        }
        // A file whose first line is no trace line is not a trace at all.
        if (tooLong) {
            if (lineNo == 1) {
                notTrace = path + ":1: not a trace line (" + kTooLong + ")";
            }
            return;
        }
        writeFailed = !reader.Line(text);
        if (reader.BadLines() > 0 && reader.BadLines() == lineNo) {
            notTrace = path + ":" + std::to_string(lineNo) + ": not a trace line (JSON, one object a line)";
        }
    };
    static char buf[64 * 1024];
    int quietPolls = 0;
    while (!g_stop) {
        const ssize_t n = ::read(trace.fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Fail("cannot read " + path + ": " + std::strerror(errno));
        }
        if (n > 0) {
            trace.offset += n;
            quietPolls = 0;
            lines.Feed(buf, static_cast<size_t>(n), onLine);
            if (writeFailed) {
                return WriteFailed();
            }
            if (!notTrace.empty()) {
                return Fail(notTrace);
            }
            continue;
        }
        if (!follow) {
            break;
        }
        if (trace.WrittenAnew()) {
            // A new run: what the old one held back is told, its half line dropped.
            if (!reader.Flush()) {
                return WriteFailed();
            }
            std::fprintf(stderr, "veltora-readings: %s was written anew; reading it from its start\n", path.c_str());
            badBefore += reader.BadLines();
            untimedBefore += reader.UntimedLines();
            reader = Readers();
            reader.series = series;
            lines.Restart();
            lineNo = 0;
            continue;
        }
        // A line still being written is kept until its end comes; a reading held back is
        // told once the trace has been quiet for a moment.
        if (++quietPolls == 2 && !reader.Flush()) {
            return WriteFailed();
        }
        SleepMs(200);
    }
    if (!g_stop) {
        lines.Finish(onLine);
        if (writeFailed) {
            return WriteFailed();
        }
        if (!notTrace.empty()) {
            return Fail(notTrace);
        }
    }
    if (!reader.Flush()) {
        return WriteFailed();
    }
    if (!plot.empty() && !g_stop) {
        std::string why;
        if (!readings::WritePlot(plotted, plot, why)) {
            std::fprintf(stderr, "veltora-readings: %s\n", why.c_str());
            return 1;
        }
    }
    const std::string skipped =
        Skipped(path, allLines, badBefore + reader.BadLines(), lines.TooLong(), untimedBefore + reader.UntimedLines());
    if (!skipped.empty()) {
        std::fprintf(stderr, "veltora-readings: %s\n", skipped.c_str());
    }
    if (g_stop) {
        // Ended by a signal: the caller is told so, as by any program it stops.
        std::signal(g_stop, SIG_DFL);
        std::raise(g_stop);
    }
    return 0;
}
