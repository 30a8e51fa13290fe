// How the launcher speaks to the user: one "veltora:" line on stderr for each thing that went
// wrong, and the standard output checked like any other file the run writes.
#pragma once

#include <string>

namespace launcher {

// One "veltora:" line on stderr. The whole message is made printable: it may quote names,
// option values and script words from the user, or reasons that quote them again.
void Tell(const std::string& message);
// Tells and gives the exit code for bad use: 2.
int Fail(const std::string& message);

// Whatever went to stdout (the help, the camera list, the window's "showing" lines) counts
// like any other output: a full disk or a reader that has gone fails the run, in one line.
// Returns the run's exit code, or 1 for a run that succeeded but lost its output.
int CheckStdout(int code);

} // namespace launcher
