// The veltora launcher: plays the phone's loader. It reads the options, makes the device,
// loads the application library and calls its OspMain (launcher::Run does it all).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "LeakCheck.h"
#include "Run.h"
#include "Tell.h"

int main(int argc, char** argv)
{
    // A standard stream the shell closed (2>&-) would be taken by the first file the run
    // opens, and messages would land in the user's trace or screenshot: /dev/null holds it.
    for (int fd = 0; fd <= 2; fd++) {
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            (void)::open("/dev/null", O_RDWR); // the lowest free number: fd itself
        }
    }
    // Room for the help and the camera list whole, so that a failed write shows at the last
    // flush with its reason; a terminal keeps its line buffering.
    static char stdoutBuffer[64 * 1024];
    if (!::isatty(STDOUT_FILENO)) {
        std::setvbuf(stdout, stdoutBuffer, _IOFBF, sizeof stdoutBuffer);
    }
    const int code = launcher::CheckStdout(launcher::Run(argc, argv));
    launcher::CheckLeaksNow();
    return code;
}
