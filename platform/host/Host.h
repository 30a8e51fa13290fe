// What the launcher may ask of the platform that runs the application: where its log and
// its trace go. The launcher sees this and nothing of the platform's insides.
#pragma once

#include <string>

namespace host {

// Opens (appending) the file the log's records also go to. False with a reason when it
// cannot be opened.
bool OpenLog(const std::string& path, std::string& reason);
// Closes the log's file; false if any write to it, or the close, failed.
bool CloseLog();

// Opens the file the trace's events go to, one JSON object a line. False with a reason
// when it cannot be opened.
bool OpenTrace(const std::string& path, std::string& reason);
// Closes the trace's file; false if any write to it, or the close, failed.
bool CloseTrace();

} // namespace host
