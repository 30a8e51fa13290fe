// Starting the launcher from tests.
#include "support/Launch.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "support/Scratch.h"

namespace testing_support {

Outcome RunVeltora(const std::string& args)
{
    const std::string cmd = std::string(VELTORA_BIN_DIR) + "/veltora " + args + " 2>&1";
    Outcome o;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        return o;
    }
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) {
        o.out.append(buf.data(), n);
    }
    const int status = pclose(p);
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

int Lines(const std::string& text)
{
    int n = 0;
    for (char c : text) {
        n += c == '\n';
    }
    return n;
}

std::string Temp(const std::string& name) { return ProcessScratch().File(name); }

} // namespace testing_support
