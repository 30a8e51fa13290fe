// The --tilt options as a user meets them: a run on an accelerometer's folder lays the phone
// out as the folder says, and a folder that is not one stops the run with one line.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "support/FakeIio.h"
#include "support/Launch.h"

using testing_support::FakeIio;
using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::Temp;

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Where the trace moved the information button: "portrait" (90, 415) or "landscape" (15, 90).
std::string InfoPlaces(const std::string& trace)
{
    std::string seen;
    size_t at = 0;
    while ((at = trace.find("\"name\":\"Control::SetPosition\"", at)) != std::string::npos) {
        const size_t end = trace.find('\n', at);
        const std::string line = trace.substr(at, end - at);
        if (line.find("{\"x\":90,\"y\":415}") != std::string::npos) {
            seen += "portrait ";
        } else if (line.find("{\"x\":15,\"y\":90}") != std::string::npos) {
            seen += "landscape ";
        }
        at = end;
    }
    return seen;
}

} // namespace

TEST(TiltOption, AHeadlessRunOnAnAccelerometerFolderIsLaidOutAsThePhoneIsHeld)
{
    FakeIio fake(4);
    const std::string trace = Temp("tilt-option.jsonl");
    struct Case {
        double pitch;
        std::string natural;
        std::string layout;
    };
    for (const Case& c : {Case{0, "", "portrait "}, Case{-90, "", "landscape "}, Case{0, "landscape", "landscape "},
                          Case{90, "landscape", "portrait "}}) {
        fake.Hold(c.pitch);
        const std::string natural = c.natural.empty() ? "" : " --tilt-natural " + c.natural;
        const Outcome o =
            RunVeltora("--headless --seconds 1.2 --tilt " + fake.Folder() + natural + " --trace " + trace);
        EXPECT_EQ(o.code, 0) << o.out;
        EXPECT_EQ(InfoPlaces(ReadAll(trace)), c.layout) << c.pitch << natural;
    }
    // The keys, asked for, leave the phone in landscape whatever the folder says.
    fake.Hold(0);
    const Outcome o = RunVeltora("--headless --seconds 1.2 --tilt keys --trace " + trace);
    EXPECT_EQ(o.code, 0) << o.out;
    EXPECT_EQ(InfoPlaces(ReadAll(trace)), "landscape ");
}

TEST(TiltOption, BadTiltSourcesStopTheRunWithOneLineAndNothingIsWrittenIntoTheSensor)
{
    FakeIio fake;
    FakeIio noScale(1);
    noScale.Remove("in_accel_scale");
    const std::string trace = Temp("tilt-bad.jsonl");
    struct Case {
        std::string args;
        std::string says;
    };
    const Case cases[] = {
        {"--tilt /nonexistent/iio:device0", "veltora: tilt sensor /nonexistent/iio:device0: no such folder"},
        {"--tilt " + noScale.Folder(), "not an accelerometer (it has no in_accel_scale)"},
        {"--tilt ''", "option --tilt needs a non-empty value"},
        {"--tilt-natural sideways", "--tilt-natural wants portrait or landscape, not 'sideways'"},
        {"--tilt " + fake.Folder() + " --trace " + fake.Folder() + "/in_accel_x_raw", "in_accel_x_raw"},
    };
    for (const auto& c : cases) {
        const Outcome o = RunVeltora("--headless --seconds 1 " + c.args);
        EXPECT_EQ(o.code, 2) << c.args << "\n" << o.out;
        EXPECT_EQ(o.out.rfind("veltora: ", 0), 0u) << o.out;
        EXPECT_EQ(o.out.find('\n'), o.out.size() - 1) << o.out;
        EXPECT_NE(o.out.find(c.says), std::string::npos) << c.args << "\n" << o.out;
    }
    EXPECT_EQ(ReadAll(fake.Folder() + "/in_accel_x_raw"), "0\n");

    const Outcome help = RunVeltora("--help");
    EXPECT_NE(help.out.find("--tilt SOURCE"), std::string::npos);
    EXPECT_NE(help.out.find("--tilt-natural"), std::string::npos);
}
