// The veltora program as a user meets it: its help, its errors and exit codes, and a
// headless run that ends cleanly with the application's log.
#include <gtest/gtest.h>

#include "support/Launch.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using testing_support::Lines;
using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::Temp;

TEST(Launcher, HelpListsEveryOption)
{
    const Outcome o = RunVeltora("--help");
    EXPECT_EQ(o.code, 0);
    for (const char* opt : {"--headless", "--seconds", "--real-time", "--screenshot", "--shrink", "--fullscreen",
                            "--app", "--res", "--camera", "--log", "--trace", "--script", "--help"}) {
        EXPECT_NE(o.out.find(opt), std::string::npos) << opt;
    }
    // The script commands and the window's keys too.
    for (const char* item :
         {"drag X0 Y0 X1 Y1", "screenshot FILE", "aim ZOOM PX PY at SX SY", "Shift + drag", "arrow keys"}) {
        EXPECT_NE(o.out.find(item), std::string::npos) << item;
    }
}

TEST(Launcher, TheDocsShowTheHelpAsTheProgramPrintsIt)
{
    const Outcome o = RunVeltora("--help");
    ASSERT_EQ(o.code, 0);
    std::ifstream in(std::string(VELTORA_SOURCE_DIR) + "/docs/scripts-and-trace.md");
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string intro = "`build/bin/veltora --help`:\n\n```\n";
    const auto start = page.find(intro);
    ASSERT_NE(start, std::string::npos) << "docs/scripts-and-trace.md has no --help block";
    const auto from = start + intro.size();
    const auto end = page.find("```\n", from);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(page.substr(from, end - from), o.out);
}

TEST(Launcher, BadUseGivesOneClearLineAndExitCode2)
{
    struct Case {
        std::string args;
        std::string says;
    };
    const std::string notElf = Temp("not-a-library.so");
    std::ofstream(notElf) << "this is not a shared library\n";
    const Case cases[] = {
        {"--bogus", "unknown option '--bogus'"},
        {"--seconds", "needs a value"},
        {"--headless --screenshot ''", "option --screenshot needs a non-empty value"},
        {"--seconds ten", "--seconds wants a number"},
        {"--fullscreen --headless", "--fullscreen needs the window"},
        {"--fullscreen --script /dev/null", "--fullscreen needs the window"},
        {"--fullscreen --shrink 2", "--fullscreen fills the display"},
        {"--seconds -1", "--seconds wants a number"},
        {"--headless --app /nonexistent/libNope.so", "cannot load application /nonexistent/libNope.so"},
        {"--headless --app " + notElf, "cannot load application " + notElf},
        // A real library, but not an application.
        {"--headless --app " + std::string(VELTORA_BIN_DIR) + "/libosp.so", "has no OspMain"},
        // A library that exports OspMain as a variable: calling it would crash.
        {"--headless --app " + std::string(VELTORA_BIN_DIR) + "/libveltora_data_entry.so",
         "is broken: its OspMain is not a function"},
        {"--headless --res " + notElf, "resource folder " + notElf + " is not a folder"},
        {"--headless --res /nonexistent/Res", "resource folder /nonexistent/Res: No such file or directory"},
        {"--headless --log /nonexistent/dir/log.txt",
         "cannot write log file /nonexistent/dir/log.txt: its folder /nonexistent/dir does not exist"},
    };
    for (const auto& c : cases) {
        const Outcome o = RunVeltora(c.args);
        EXPECT_EQ(o.code, 2) << c.args << "\n" << o.out;
        EXPECT_EQ(Lines(o.out), 1) << c.args << "\n" << o.out;
        EXPECT_NE(o.out.find(c.says), std::string::npos) << c.args << "\n" << o.out;
        EXPECT_EQ(o.out.rfind("veltora: ", 0), 0u) << o.out;
    }
}

TEST(Launcher, HeadlessRunEndsCleanlyAndLogsStartAndFinish)
{
    const std::string log = Temp("veltora-run.log");
    std::remove(log.c_str());
    const Outcome o = RunVeltora("--headless --seconds 3 --log " + log);
    EXPECT_EQ(o.code, 0) << o.out;
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto started = text.find("INFO int OspMain(int, char**):");
    const auto s = text.find("Application started.");
    const auto f = text.find("Application finished.");
    EXPECT_NE(started, std::string::npos) << text;
    ASSERT_NE(s, std::string::npos) << text;
    ASSERT_NE(f, std::string::npos) << text;
    EXPECT_LT(s, f);
    // The same records reach stderr.
    EXPECT_NE(o.out.find("Application finished."), std::string::npos);
}

TEST(Launcher, AWindowWithoutADisplaySaysSoInOneLine)
{
    const Outcome o = RunVeltora("--seconds 0.2");
    if (std::getenv("DISPLAY") && *std::getenv("DISPLAY")) {
        GTEST_SKIP() << "a display is there";
    }
    EXPECT_EQ(o.code, 2) << o.out;
    EXPECT_EQ(Lines(o.out), 1) << o.out;
    EXPECT_NE(o.out.find("cannot open a window: no display"), std::string::npos) << o.out;
}

TEST(Launcher, TheApplicationLibraryExportsOspMainAlone)
{
    const std::string cmd = std::string("nm -D --defined-only ") + VELTORA_BIN_DIR + "/libVeltora.so 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::vector<std::string> symbols;
    char line[512];
    while (fgets(line, sizeof line, p)) {
        std::string l(line);
        symbols.push_back(l.substr(l.find_last_of(' ') + 1, l.find_last_not_of("\n") - l.find_last_of(' ')));
    }
    ASSERT_EQ(pclose(p), 0);
    EXPECT_EQ(symbols, (std::vector<std::string>{"OspMain"}));
}
