// The launcher's messages and the check of its standard output.
#include "Tell.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text/Printable.h"

namespace launcher {

void Tell(const std::string& message) { std::fprintf(stderr, "veltora: %s\n", text::Printable(message).c_str()); }

int Fail(const std::string& message)
{
    Tell(message);
    return 2;
}

int CheckStdout(int code)
{
    errno = 0;
    bool failed = std::fflush(stdout) != 0;
    int error = failed ? errno : 0;
    failed |= std::ferror(stdout) != 0;
    if (std::fclose(stdout) != 0 && !failed) {
        failed = true;
        error = errno;
    }
    if (!failed) {
        return code;
    }
    Tell(std::string("cannot write to the standard output") + (error ? std::string(": ") + std::strerror(error) : ""));
    return code != 0 ? code : 1;
}

} // namespace launcher
