// What the launcher prints: names from the user reach the terminal escaped, whichever message
// quotes them; stdout that cannot be written fails the run; a closed standard stream is
// never taken by a file of the run.
#include <gtest/gtest.h>

#include "support/Launch.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::Temp;

namespace {

// A name that would set the terminal's title, ring its bell and turn its text red.
const std::string kHostile = "evil\x1b]0;owned\x07\x1b[31mred";
const std::string kShown = "evil\\x1b]0;owned\\x07\\x1b[31mred";

std::string Read(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A shell line around veltora, for redirections of its own; what reaches the pipe and the exit code.
Outcome Shell(const std::string& line)
{
    Outcome o;
    FILE* p = popen(line.c_str(), "r");
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

const std::string kVeltora = std::string(VELTORA_BIN_DIR) + "/veltora";

// Single quotes for the shell: the hostile bytes pass through it untouched.
std::string Quoted(const std::string& s) { return "'" + s + "'"; }

void ExpectNoControls(const std::string& out)
{
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
    EXPECT_EQ(out.find('\x07'), std::string::npos) << out;
}

} // namespace

TEST(Terminal, NamesFromTheUserAreEscapedInEveryMessageThatQuotesThem)
{
    const std::string script = Temp("script-" + kHostile + ".txt");
    std::ofstream(script) << "wait 10\nlook\n";
    const std::string shotScript = Temp("shots.txt");
    std::ofstream(shotScript) << "screenshot /nonexistent/" << kHostile << ".png\n";
    struct Case {
        std::string args;
        int code;
        std::string says;
    };
    const Case cases[] = {
        // The camera's line, told by the device while the run goes on.
        {"--headless --seconds 0.1 --camera " + Quoted("/nonexistent/" + kHostile + ".png"), 0,
         "veltora: camera: photo " + kShown + ".png: cannot open"},
        {"--headless --screenshot " + Quoted("/nonexistent/" + kHostile + ".png"), 2,
         "veltora: cannot write screenshot /nonexistent/" + kShown + ".png"},
        // A script's own name, and a word of it.
        {"--script " + Quoted(script), 2, "script-" + kShown + ".txt:2: unknown command 'look'"},
        {"--script " + Quoted(shotScript), 2, "cannot write screenshot /nonexistent/" + kShown + ".png"},
        {"--headless --tilt " + Quoted(kHostile), 2, kShown},
        {"--seconds " + Quoted(kHostile), 2, "not '" + kShown + "'"},
    };
    for (const auto& c : cases) {
        const Outcome o = RunVeltora(c.args);
        EXPECT_EQ(o.code, c.code) << c.args << "\n" << o.out;
        EXPECT_NE(o.out.find(c.says), std::string::npos) << c.args << "\n" << o.out;
        ExpectNoControls(o.out);
    }
    // Printable names in any script read as typed.
    const Outcome o = RunVeltora("--headless --screenshot '/nonexistent/caf\xC3\xA9 \xE6\x97\xA5.png'");
    EXPECT_NE(o.out.find("/nonexistent/caf\xC3\xA9 \xE6\x97\xA5.png"), std::string::npos) << o.out;
}

TEST(Terminal, TheLogQuotesNamesEscapedOnStderrAndInItsFile)
{
    // An empty resource folder with a hostile name: the platform logs each image it cannot decode.
    const std::string res = Temp("res-" + kHostile);
    ::mkdir(res.c_str(), 0700);
    const std::string log = Temp("escaped.log");
    std::remove(log.c_str());
    const Outcome o = RunVeltora("--headless --seconds 0.1 --res " + Quoted(res) + " --log " + log);
    EXPECT_EQ(o.code, 0) << o.out;
    EXPECT_NE(o.out.find("image: cannot decode " + Temp("res-" + kShown) + "/"), std::string::npos) << o.out;
    ExpectNoControls(o.out);
    const std::string logged = Read(log);
    EXPECT_NE(logged.find("image: cannot decode " + Temp("res-" + kShown) + "/"), std::string::npos) << logged;
    ExpectNoControls(logged);
}

TEST(Terminal, StdoutThatCannotBeWrittenFailsTheRunInOneLine)
{
    // stderr to the pipe, stdout to a device that is always full.
    for (const char* what : {"--help", "--camera list"}) {
        const Outcome o = Shell(kVeltora + " " + what + " 2>&1 >/dev/full");
        EXPECT_EQ(o.code, 1) << what << "\n" << o.out;
        EXPECT_EQ(o.out, "veltora: cannot write to the standard output: No space left on device\n") << what;
    }
    // Where it can be written, nothing changes.
    const Outcome o = Shell(kVeltora + " --help 2>&1 >/dev/null");
    EXPECT_EQ(o.code, 0) << o.out;
    EXPECT_EQ(o.out, "");
}

TEST(Terminal, AClosedStandardStreamIsNeverTakenByAFileOfTheRun)
{
    // With stderr and stdout closed, the first files opened would get their numbers, and the
    // log's records would land in the trace.
    const std::string traceFile = Temp("closed-streams.jsonl"), log = Temp("closed-streams.log");
    std::remove(traceFile.c_str());
    std::remove(log.c_str());
    const Outcome o = Shell(kVeltora + " --headless --seconds 0.5 --camera /nonexistent/x.png --log " + log +
                            " --trace " + traceFile + " >&- 2>&-; echo $?");
    EXPECT_EQ(o.out, "0\n");
    std::istringstream lines(Read(traceFile));
    int n = 0;
    for (std::string line; std::getline(lines, line); n++) {
        ASSERT_EQ(line.rfind("{\"", 0), 0u) << "line " << n + 1 << ": " << line;
    }
    EXPECT_GT(n, 10);
    EXPECT_EQ(Read(log).find("veltora:"), std::string::npos) << Read(log);
}
