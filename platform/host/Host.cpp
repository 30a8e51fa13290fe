// The launcher's window onto the platform: the log's and the trace's files, kept behind
// plain functions so the launcher never includes the platform's own modules.
#include "host/Host.h"

#include "base/Log.h"
#include "base/Trace.h"

namespace host {

bool OpenLog(const std::string& path, std::string& reason) { return oslog::SetFile(path, reason); }

bool CloseLog() { return oslog::CloseFile(); }

bool OpenTrace(const std::string& path, std::string& reason) { return trace::OpenFile(path, reason); }

bool CloseTrace() { return trace::CloseFile(); }

} // namespace host
