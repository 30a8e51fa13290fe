// Trace sinks and the JSON-lines writer.
#include "base/Trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <unistd.h>

#include "base/Sinks.h"
#include "files/OutputPath.h"
#include "text/Printable.h"

#include "device/Device.h"

namespace trace {

namespace {
struct State {
    base::Sinks<Event> sinks;
    // Guards which sink writes the file.
    std::mutex mutex;
    FILE* file = nullptr;
    int fileToken = 0;
    // Guards the file's writes and its failure.
    std::mutex writeMutex;
    std::string path;
    bool failed = false;
};
State& Get()
{
    static State s;
    return s;
}
// The first failed write is told once; the rest of the trace would be lost or cut, so
// nothing more is written and the run ends with a failure.
void ReportFailure(State& s, int error)
{
    if (s.failed) {
        return;
    }
    s.failed = true;
    std::fprintf(stderr, "veltora: cannot write trace file %s: %s\n", text::Printable(s.path).c_str(),
                 std::strerror(error));
}
} // namespace

thread_local int t_quiet = 0;

Quiet::Quiet() { ++t_quiet; }
Quiet::~Quiet() { --t_quiet; }

bool Enabled()
{
    if (t_quiet > 0) {
        return false;
    }
    return !Get().sinks.Empty();
}

void Emit(Event event)
{
    if (device::Device* dev = device::Device::Current()) {
        event.timeUs = dev->Now();
    }
    Get().sinks.Call(event);
}

int AddSink(std::function<void(const Event&)> sink) { return Get().sinks.Add(std::move(sink)); }

void RemoveSink(int token) { Get().sinks.Remove(token); }

std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string ToJson(const Event& e)
{
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", e.timeUs / 1000.0);
    std::string out = std::string("{\"t\":") + time + ",\"type\":";
    if (e.type == Event::Type::Canvas) {
        out += "\"canvas\",\"draws\":[";
        for (size_t i = 0; i < e.draws.size(); i++) {
            const Draw& d = e.draws[i];
            out += i ? ",{" : "{";
            out += "\"bitmap\":" + Quote(d.bitmap) + ",\"x\":" + Num(d.x) + ",\"y\":" + Num(d.y);
            if (d.turned) {
                out += ",\"pivotX\":" + Num(d.pivotX) + ",\"pivotY\":" + Num(d.pivotY) + ",\"angle\":" + Num(d.angle);
            }
            out += "}";
        }
        return out + "]}";
    }
    out += std::string(e.type == Event::Type::Finger ? "\"finger\"" : "\"call\"") + ",\"name\":" + Quote(e.name);
    if (!e.target.empty()) {
        out += ",\"target\":" + Quote(e.target);
    }
    out += ",\"args\":{";
    for (size_t i = 0; i < e.args.size(); i++) {
        out += (i ? "," : "") + Quote(e.args[i].first) + ":" + e.args[i].second;
    }
    return out + "}}";
}

bool OpenFile(const std::string& path, std::string& reason)
{
    CloseFile();
    FILE* f = outpath::OpenStream(path, false, reason);
    if (!f) {
        reason = "cannot write trace file " + path + ": " + reason;
        return false;
    }
    State& s = Get();
    const int token = AddSink([f](const Event& e) {
        State& st = Get();
        std::lock_guard<std::mutex> lock(st.writeMutex);
        if (st.failed || st.file != f) {
            return;
        }
        const std::string line = ToJson(e) + "\n";
        // Whole lines only, at once: a script or a person may read the trace while it grows.
        if (std::fputs(line.c_str(), f) < 0 || std::fflush(f) != 0) {
            ReportFailure(st, errno);
        }
    });
    std::lock_guard<std::mutex> lock(s.mutex);
    std::lock_guard<std::mutex> writeLock(s.writeMutex);
    s.file = f;
    s.fileToken = token;
    s.path = path;
    s.failed = false;
    return true;
}

bool CloseFile()
{
    State& s = Get();
    FILE* f = nullptr;
    int token = 0;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        token = s.fileToken;
        s.fileToken = 0;
    }
    if (token) {
        RemoveSink(token);
    }
    std::lock_guard<std::mutex> writeLock(s.writeMutex);
    f = s.file;
    s.file = nullptr;
    if (!f) {
        return !s.failed;
    }
    if (std::fclose(f) != 0) {
        ReportFailure(s, errno);
    }
    return !s.failed;
}

} // namespace trace
