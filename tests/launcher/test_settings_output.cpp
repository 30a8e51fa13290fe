// The settings file is never an output of a run: under any spelling, through a link in its
// place or to it, there yet or not, a trace, log or screenshot naming it is refused at once.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/Launch.h"
#include "support/ProcessState.h"
#include "support/Scratch.h"

using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::ScratchDir;
using Env = testing_support::ScopedEnv;

namespace {

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void ExpectRefused(const std::string& args, const std::string& named)
{
    const Outcome o = RunVeltora("--headless --seconds 1 " + args);
    EXPECT_EQ(o.code, 2) << args << "\n" << o.out;
    EXPECT_EQ(o.out.rfind("veltora: cannot write ", 0), 0u) << args << "\n" << o.out;
    EXPECT_NE(o.out.find(named + ": it is the settings file"), std::string::npos) << args << "\n" << o.out;
    EXPECT_EQ(testing_support::Lines(o.out), 1) << args << "\n" << o.out;
}

const char kRemembered[] = "# mine\nwindow-width=900\nwindow-height=540\n";

} // namespace

TEST(SettingsOutput, TheSettingsFileIsRefusedAsAnOutputUnderEverySpelling)
{
    ScratchDir dir("settings-output");
    const Env config("XDG_CONFIG_HOME", dir.File("config"));
    const std::string folder = dir.File("config/veltora");
    const std::string settings = folder + "/settings.conf";
    ASSERT_EQ(::mkdir(dir.File("config").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    Write(settings, kRemembered);
    ASSERT_EQ(::symlink(folder.c_str(), dir.File("folder-link").c_str()), 0);
    ASSERT_EQ(::symlink(settings.c_str(), dir.File("file-link").c_str()), 0);
    ASSERT_EQ(::link(settings.c_str(), dir.File("hard-link").c_str()), 0);
    Write(dir.File("script.txt"), "wait 10\nscreenshot " + settings + "\n");

    const std::pair<std::string, std::string> cases[] = {
        {"--trace " + settings, settings},
        {"--log " + settings, settings},
        {"--screenshot " + settings, settings},
        {"--trace " + folder + "/./settings.conf", folder + "/./settings.conf"},
        {"--log " + dir.File("folder-link/settings.conf"), dir.File("folder-link/settings.conf")},
        {"--trace " + dir.File("file-link"), dir.File("file-link")},
        {"--screenshot " + dir.File("hard-link"), dir.File("hard-link")},
        {"--script " + dir.File("script.txt"), settings},
    };
    for (const auto& [args, named] : cases) {
        ExpectRefused(args, named);
        EXPECT_EQ(Read(settings), kRemembered) << args;
    }
    // Beside it is any other file.
    const Outcome o = RunVeltora("--headless --seconds 1 --trace " + folder + "/trace.jsonl");
    EXPECT_EQ(o.code, 0) << o.out;
    EXPECT_EQ(Read(settings), kRemembered);
}

// Settings kept with the user's dotfiles: the file the link names is the settings file, and
// so is the file a link to nothing would make, as is the settings file a first run has yet to write.
TEST(SettingsOutput, TheFileALinkInItsPlaceNamesAndOneNotYetMadeAreRefusedToo)
{
    ScratchDir dir("settings-output-link");
    const Env config("XDG_CONFIG_HOME", dir.File("config"));
    const std::string folder = dir.File("config/veltora");
    const std::string settings = folder + "/settings.conf";
    ASSERT_EQ(::mkdir(dir.File("config").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(dir.File("dotfiles").c_str(), 0700), 0);

    // A first run: nothing there yet.
    ExpectRefused("--trace " + settings, settings);
    EXPECT_FALSE(Exists(settings)) << "the refused run made the file";

    // Linked, relatively, into the dotfiles, whose file is not made yet.
    ASSERT_EQ(::symlink("../../dotfiles/veltora.conf", settings.c_str()), 0);
    const std::string kept = dir.File("dotfiles/veltora.conf");
    ExpectRefused("--log " + kept, kept);
    EXPECT_FALSE(Exists(kept)) << "the refused run made the file";

    // And once it is there.
    Write(kept, kRemembered);
    ExpectRefused("--trace " + kept, kept);
    ExpectRefused("--screenshot " + settings, settings);
    EXPECT_EQ(Read(kept), kRemembered);
}
