// The platform's log: the application's records and the platform's own, each with the
// time, the level, the function and the line, to stderr and optionally to a file.
#pragma once

#include <functional>
#include <string>

namespace oslog {

enum class Level { Info, Exception };

struct Record {
    Level level;
    std::string function;
    int line;
    std::string message;
};

void Write(Level level, const char* function, int line, const std::string& message);
// The platform's own one-line reports ("cannot decode ...").
void Platform(const char* function, int line, const std::string& message);

// Opens (appending) the file that records also go to; empty closes it. Returns false
// with a reason when the file cannot be opened. The first write to it that fails is told
// on stderr as one "veltora:" line, and the file takes no more records.
bool SetFile(const std::string& path, std::string& reason);
// Closes the file; false if any write to it, or the close, failed.
bool CloseFile();
void SetStderr(bool enabled);

// Tests watch the records through a hook; it returns a token for removal.
int AddHook(std::function<void(const Record&)> hook);
void RemoveHook(int token);

} // namespace oslog

#define OSP_PLATFORM_LOG(msg) ::oslog::Platform(__func__, __LINE__, (msg))
