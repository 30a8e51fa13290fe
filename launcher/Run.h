// One run of the phone, from the command line to the end of the application.
#pragma once

namespace launcher {

// Returns the exit code. Everything the run made (the device, the window, the signal
// thread, the application library) is gone when it returns.
int Run(int argc, char** argv);

} // namespace launcher
