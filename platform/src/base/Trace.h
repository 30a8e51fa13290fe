// The trace: what the application asked of the platform, as events. Each shown canvas
// with its draw calls, and each camera, control, form-orientation and image-decoding
// call with its arguments. Sinks write them as JSON lines or collect them for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace trace {

struct Draw {
    std::string bitmap; // the resource file the bitmap came from, or "" when it has none
    int x = 0;
    int y = 0;
    bool turned = false; // drawn with a pivot and an angle
    int pivotX = 0;
    int pivotY = 0;
    int angle = 0;
};

struct Event {
    std::int64_t timeUs = 0;
    // A finger event is the device's own finger reading an edge or a corner for the user.
    enum class Type { Call, Canvas, Finger } type = Type::Call;
    std::string name; // "Camera::StartPreview", "Control::SetShowState", ...
    std::string target; // the control it was made on ("Button#4"), "" otherwise
    // Named arguments, each already in JSON form (numbers, true/false, quoted strings).
    std::vector<std::pair<std::string, std::string>> args;
    std::vector<Draw> draws; // for canvas events
};

// Whether anything listens; callers skip building events when nothing does.
bool Enabled();
void Emit(Event event);

int AddSink(std::function<void(const Event&)> sink);
void RemoveSink(int token);

// One JSON object on one line, as the trace file holds it.
std::string ToJson(const Event& event);
// Starts writing every event to `path` (truncating it); false with a reason on failure.
// The first write that fails is told on stderr as one "veltora:" line, and the file
// takes no more lines.
bool OpenFile(const std::string& path, std::string& reason);
// Closes the file; false if any write, flush or the close itself failed.
bool CloseFile();

// While one lives, calls the platform makes on its own behalf stay out of the trace.
class Quiet {
public:
    Quiet();
    ~Quiet();
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;
};

// Helpers for arguments.
std::string Quote(const std::string& text);
inline std::string Bool(bool b) { return b ? "true" : "false"; }
inline std::string Num(long long n) { return std::to_string(n); }

} // namespace trace
