// The command line as the options table reads it: every option that takes a value says so
// when it has none, limits hold on both sides, and the spellings the help does not list.
#include <gtest/gtest.h>

#include <string>

#include "support/Launch.h"

using testing_support::Outcome;
using testing_support::RunVeltora;

namespace {

bool Says(const Outcome& o, const std::string& text) { return o.out.find(text) != std::string::npos; }

} // namespace

TEST(Options, EveryOptionThatTakesAValueSaysSoWhenItHasNone)
{
    for (const char* option : {"--seconds", "--screenshot", "--shrink", "--camera", "--tilt", "--tilt-natural",
                               "--save-to", "--app", "--res", "--log", "--trace", "--script"}) {
        const Outcome last = RunVeltora(std::string("--headless ") + option);
        EXPECT_EQ(last.code, 2) << option;
        EXPECT_TRUE(Says(last, std::string("option ") + option + " needs a value")) << last.out;
        // An empty value would quietly mean none (for --camera, the demo scene in its place).
        const Outcome empty = RunVeltora(std::string("--headless ") + option + " ''");
        EXPECT_EQ(empty.code, 2) << option;
        EXPECT_TRUE(Says(empty, std::string("option ") + option + " needs a non-empty value")) << empty.out;
    }
}

// Each accepted value is shown accepted by the run failing later, on --fullscreen, for
// another reason.
TEST(Options, LimitsHoldOnBothSides)
{
    const struct {
        std::string args, says;
    } cases[] = {
        {"--shrink 0", "--shrink wants a whole number from 1 to 8, not '0'"},
        {"--shrink 1 --fullscreen", "--fullscreen fills the display"},
        {"--shrink 8 --fullscreen", "--fullscreen fills the display"},
        {"--shrink 9", "--shrink wants a whole number from 1 to 8, not '9'"},
        {"--shrink 2x", "--shrink wants a whole number from 1 to 8, not '2x'"},
        {"--seconds 0 --fullscreen --headless", "--fullscreen needs the window"},
        {"--seconds 86400 --fullscreen --headless", "--fullscreen needs the window"},
        {"--seconds 86400.5", "--seconds wants a number of seconds from 0 to 86400, not '86400.5'"},
        {"--seconds nan", "--seconds wants a number of seconds from 0 to 86400, not 'nan'"},
        {"--tilt-natural landscape --fullscreen --headless", "--fullscreen needs the window"},
        {"--tilt-natural Landscape", "--tilt-natural wants portrait or landscape, not 'Landscape'"},
    };
    for (const auto& c : cases) {
        const Outcome o = RunVeltora(c.args);
        EXPECT_EQ(o.code, 2) << c.args;
        EXPECT_TRUE(Says(o, c.says)) << c.args << "\n" << o.out;
    }
}

TEST(Options, DashHIsTheHelpAndWhatFollowsADoubleDashIsTheApplications)
{
    const Outcome help = RunVeltora("--help");
    const Outcome h = RunVeltora("-h");
    EXPECT_EQ(h.code, 0);
    EXPECT_EQ(h.out, help.out);
    // Options the launcher does not know, and its own, go to the application untouched.
    const Outcome passed = RunVeltora("--headless --seconds 0 -- --bogus --help");
    EXPECT_EQ(passed.code, 0) << passed.out;
    EXPECT_FALSE(Says(passed, "usage:")) << passed.out;
    // The first action ends the reading: what follows it is never looked at.
    const Outcome version = RunVeltora("--version --bogus");
    EXPECT_EQ(version.code, 0) << version.out;
}
