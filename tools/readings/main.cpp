// veltora-readings: prints each change of the readout in a trace as CSV, from a finished
// trace or, with --follow, from one that a running veltora is still writing.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "Readings.h"

namespace {

const char* kUsage =
    "usage: veltora-readings [--follow] TRACE\n"
    "\n"
    "Prints what the readout showed in a veltora trace (--trace FILE), one CSV row per change:\n"
    "  time_ms      the device time of the change, in milliseconds\n"
    "  angle        the angle as shown, in degrees (e.g. 105.0)\n"
    "  other_side   on the round dial, the other side (360 minus the angle); else empty\n"
    "  orientation  the orientation code the readout faces: 0, 1 (round dial), 2, 3 (half dial)\n"
    "  mode         live, or held while the camera's preview is stopped (hold, help page,\n"
    "               background)\n"
    "\n"
    "  --follow     keep reading as the trace grows (a run still going); Ctrl-C ends it\n"
    "  TRACE        the trace file, or - for standard input\n";

void Print(const std::vector<readings::Reading>& rows)
{
    for (const auto& r : rows) {
        std::printf("%s\n", readings::CsvRow(r).c_str());
    }
    if (!rows.empty()) {
        std::fflush(stdout);
    }
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "veltora-readings: %s\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    bool follow = false;
    std::string path;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--follow" || arg == "-f") {
            follow = true;
        } else if (path.empty() && (arg == "-" || arg[0] != '-')) {
            path = arg;
        } else {
            return Fail("unexpected '" + arg + "' (see veltora-readings --help)");
        }
    }
    if (path.empty()) {
        return Fail("name a trace file (see veltora-readings --help)");
    }
    FILE* in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!in) {
        return Fail("cannot read " + path + ": " + std::strerror(errno));
    }
    struct stat st {};
    if (fstat(fileno(in), &st) == 0 && S_ISDIR(st.st_mode)) {
        return Fail(path + " is a folder, not a trace");
    }
    readings::Reader reader;
    std::printf("%s\n", readings::CsvHeader().c_str());
    std::fflush(stdout);
    std::string line;
    long lines = 0;
    for (;;) {
        const int c = std::fgetc(in);
        if (c == EOF) {
            if (std::ferror(in)) {
                return Fail("cannot read " + path + ": " + std::strerror(errno));
            }
            if (!follow) {
                break;
            }
            // A line still being written is kept until its end comes; a reading held back
            // is told once the trace has been quiet for a moment.
            std::clearerr(in);
            usleep(200 * 1000);
            Print(reader.Flush());
            continue;
        }
        if (c != '\n') {
            line += static_cast<char>(c);
            if (line.size() > (64u << 20)) {
                return Fail(path + ":" + std::to_string(lines + 1) + ": a line longer than 64 MiB is no trace line");
            }
            continue;
        }
        lines++;
        Print(reader.Line(line));
        line.clear();
        if (reader.BadLines() > 0 && reader.BadLines() == lines) {
            return Fail(path + ":" + std::to_string(lines) + ": not a trace line (JSON, one object a line)");
        }
    }
    if (!line.empty()) {
        // The last line without its newline: a run that ended mid-write still counts.
        Print(reader.Line(line));
    }
    Print(reader.Flush());
    return 0;
}
