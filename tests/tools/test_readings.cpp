// The readings tool: the readout's digit images in a trace become CSV rows, one per change,
// from a finished trace of a script with known angles; its hostile inputs and outputs are in
// test_readings_tool.cpp.
#include <gtest/gtest.h>

#include "Readings.h"
#include "tools/TraceLines.h"
#include "support/Launch.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::Temp;

namespace {

using namespace testing_support::trace_lines;

std::vector<std::string> Rows(readings::Reader& reader, const std::vector<std::string>& lines)
{
    std::vector<std::string> rows;
    for (const auto& l : lines) {
        for (const auto& r : reader.Line(l)) {
            rows.push_back(readings::CsvRow(r));
        }
    }
    for (const auto& r : reader.Flush()) {
        rows.push_back(readings::CsvRow(r));
    }
    return rows;
}

} // namespace

TEST(Readings, EachChangeOfTheReadoutIsOneRowAndASwitchedOffCameraIsNoHold)
{
    readings::Reader reader;
    const std::vector<std::string> rows = Rows(
        reader, {Call(0, "Camera::StartPreview"), Canvas(66.667, "90.0", "", 0), Canvas(133.333, "90.0", "", 0),
                 "not json", Canvas(200, "105.0", "", 0), Canvas(233, "9.5", "", 180), Call(300, "Camera::StopPreview"),
                 Canvas(350, "9.5", "", 180), Call(400, "Camera::StartPreview"), Canvas(466.667, "20.0", "340.0", 90),
                 Canvas(500, "180.0", "180.0", -90), Call(600, "Camera::StopPreview"), Call(600, "Camera::PowerOff")});
    const std::vector<std::string> want = {
        "66.667,90.0,,2,live",        "200.000,105.0,,2,live",        "233.000,9.5,,3,live",
        "300.000,9.5,,3,held",        "400.000,9.5,,3,live",          "466.667,20.0,340.0,0,live",
        "500.000,180.0,180.0,1,live",
    };
    EXPECT_EQ(rows, want);
    EXPECT_EQ(reader.BadLines(), 1);
}

TEST(Readings, AScriptWithKnownAnglesReadsBackAsShown)
{
    // The roof truss's ridge in the demo scene is 105.0 degrees; held, then live again, then
    // the phone turned upright shows the round dial's 90.0 and its other side 270.0.
    const std::string script = Temp("readings.txt"), trace = Temp("readings.jsonl");
    std::ofstream(script) << "pitch -90\nwait 600\n"
                             "down 370 457\nmove 327 424\nmove 138 279\nup 138 279\n"
                             "down 559 358\nmove 632 302\nmove 675 269\nup 675 269\nwait 100\n"
                             "press 753 48\nwait 200\npress 753 48\nwait 200\npitch 0\nwait 1200\n";
    const Outcome run = RunVeltora("--headless --script " + script + " --trace " + trace);
    ASSERT_EQ(run.code, 0) << run.out;
    FILE* p = popen((std::string(VELTORA_BIN_DIR) + "/veltora-readings " + trace + " 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) {
        out.append(buf, n);
    }
    ASSERT_EQ(pclose(p), 0) << out;
    std::vector<std::string> fields;
    std::istringstream lines(out);
    std::string header, line;
    std::getline(lines, header);
    EXPECT_EQ(header, "time_ms,angle,other_side,orientation,mode");
    while (std::getline(lines, line)) {
        fields.push_back(line.substr(line.find(',') + 1));
    }
    const std::vector<std::string> want = {"90.0,,2,live", "105.0,,2,live", "105.0,,2,held", "105.0,,2,live",
                                           "90.0,270.0,0,live"};
    EXPECT_EQ(fields, want) << out;
}
