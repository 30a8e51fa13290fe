// The log writer behind the application's AppLog and AppLogException and the
// platform's own reports.
#include "base/Log.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include <unistd.h>

#include "base/Sinks.h"
#include "files/OutputPath.h"
#include "text/Printable.h"

#include "osp/Base.h"

namespace oslog {

namespace {
struct State {
    std::mutex mutex;
    FILE* file = nullptr;
    std::string path;
    bool failed = false;
    bool toStderr = true;
    // Called after the record is written, outside the lock: a hook may log.
    base::Sinks<Record> hooks;
};
State& Get()
{
    static State state;
    return state;
}

// The first failed write is told once; the file takes no more records after it.
void ReportFailure(State& s, int error)
{
    if (!s.failed) {
        s.failed = true;
        std::fprintf(stderr, "veltora: cannot write log file %s: %s\n", text::Printable(s.path).c_str(),
                     std::strerror(error));
    }
}

std::string Timestamp()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
    return buf;
}
} // namespace

namespace {
// To stderr and the file, under the lock, so records from two threads never interleave.
void Print(State& s, const Record& record)
{
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.toStderr && !s.file) {
        return;
    }
    // Records quote names (a resource, a picture): made printable, nothing in one can act
    // on the terminal or start a line that looks like a record of its own.
    const std::string shown = Timestamp() + (record.level == Level::Info ? " INFO " : " EXCEPTION ") + record.function +
                              ":" + std::to_string(record.line) + ": " + text::Printable(record.message) + "\n";
    if (s.toStderr) {
        std::fputs(shown.c_str(), stderr);
    }
    if (s.file && !s.failed && (std::fputs(shown.c_str(), s.file) < 0 || std::fflush(s.file) != 0)) {
        ReportFailure(s, errno);
    }
}
} // namespace

void Write(Level level, const char* function, int line, const std::string& message)
{
    State& s = Get();
    const Record record{level, function ? function : "", line, message};
    Print(s, record);
    s.hooks.Call(record);
}

void Platform(const char* function, int line, const std::string& message)
{
    Write(Level::Info, function, line, message);
}

bool SetFile(const std::string& path, std::string& reason)
{
    CloseFile(); // a failure of the old file was told when it happened
    if (path.empty()) {
        return true;
    }
    FILE* f = outpath::OpenStream(path, true, reason);
    if (!f) {
        reason = "cannot open log file " + path + ": " + reason;
        return false;
    }
    State& s = Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.file = f;
    s.path = path;
    s.failed = false;
    return true;
}

bool CloseFile()
{
    State& s = Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.file && std::fclose(s.file) != 0) {
        ReportFailure(s, errno);
    }
    s.file = nullptr;
    const bool ok = !s.failed;
    s.failed = false;
    return ok;
}

void SetStderr(bool enabled)
{
    State& s = Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.toStderr = enabled;
}

int AddHook(std::function<void(const Record&)> hook) { return Get().hooks.Add(std::move(hook)); }

void RemoveHook(int token) { Get().hooks.Remove(token); }

} // namespace oslog

namespace {
void WriteFormatted(oslog::Level level, const char* function, int line, const char* format, va_list args)
{
    char small[512];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, format ? format : "", copy);
    va_end(copy);
    if (n < 0) {
        oslog::Write(level, function, line, "(unprintable log message)");
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        oslog::Write(level, function, line, small);
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, args);
    big.resize(static_cast<size_t>(n));
    oslog::Write(level, function, line, big);
}
} // namespace

extern "C" void __App_info(const char* pFunction, int lineNumber, const char* pFormat, ...)
{
    va_list args;
    va_start(args, pFormat);
    WriteFormatted(oslog::Level::Info, pFunction, lineNumber, pFormat, args);
    va_end(args);
}

extern "C" void __App_exception(const char* pFunction, int lineNumber, const char* pFormat, ...)
{
    va_list args;
    va_start(args, pFormat);
    WriteFormatted(oslog::Level::Exception, pFunction, lineNumber, pFormat, args);
    va_end(args);
}
