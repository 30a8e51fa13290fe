// The readings tool: the readout's digit images in a trace become CSV rows, one per change,
// from a finished trace of a script with known angles; its hostile inputs and outputs are in
// test_readings_tool.cpp.
#include <gtest/gtest.h>

#include "Readings.h"
#include "Readout.h"
#include "TraceLine.h"
#include "support/Launch.h"
#include "tools/TraceLines.h"

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
        "66.667,90.0,,,2,live,", "200.000,105.0,,,2,live,",     "233.000,9.5,,,3,live,",        "300.000,9.5,,,3,held,",
        "400.000,9.5,,,3,live,", "466.667,20.0,,340.0,0,live,", "500.000,180.0,,180.0,1,live,",
    };
    EXPECT_EQ(rows, want);
    EXPECT_EQ(reader.BadLines(), 1);
}

// The finger's reading gives its uncertainty to the row of the readout that shows it (next,
// or at once where the readout already shows it); one that read nothing is a row that says
// refused and why, never the number the readout still shows.
TEST(Readings, TheFingersReadingCarriesItsUncertaintyAndARefusalIsNeverANumber)
{
    readings::Reader reader;
    const std::string at = "\"x\":405,\"y\":463,";
    const std::vector<std::string> rows = Rows(
        reader, {Canvas(66.667, "90.0", "", 0), Finger(100, "corner", at + "\"angle\":105.0,\"uncertainty\":0.1"),
                 Canvas(133.333, "105.0", "", 0), Finger(200, "corner", "\"refused\":\"no corner near (620, 20)\""),
                 Canvas(233.333, "105.0", "", 0), Finger(300, "edge", at + "\"angle\":105.0,\"uncertainty\":1.5"),
                 Canvas(333.333, "80.0", "", 0), Finger(400, "corner", at + "\"angle\":45.0,\"uncertainty\":0.1"),
                 Canvas(433.333, "46.0", "", 0), Canvas(466.667, "45.0", "", 0),
                 Finger(500, "corner", at + "\"angle\":45.0,\"uncertainty\":-1"),
                 Finger(533, "corner", at + "\"angle\":\"45.0\",\"uncertainty\":0.1"),
                 Finger(566, "edge", "\"refused\":\"say \\\"when\\\"\"")});
    const std::vector<std::string> want = {
        "66.667,90.0,,,2,live,",
        "133.333,105.0,0.1,,2,live,",
        "200.000,refused,,,2,live,\"no corner near (620, 20)\"",
        // Held, or read again: the readout showed it already.
        "300.000,105.0,1.5,,2,live,",
        // By hand: no uncertainty.
        "333.333,80.0,,,2,live,",
        // The readout showed another angle than the finger's: not given its uncertainty.
        "433.333,46.0,,,2,live,",
        "466.667,45.0,,,2,live,",
        // An uncertainty or an angle that is no number makes no row.
        "566.000,refused,,,2,live,\"say \"\"when\"\"\"",
    };
    EXPECT_EQ(rows, want);
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
    EXPECT_EQ(header, "time_ms,angle,uncertainty,other_side,orientation,mode,note");
    while (std::getline(lines, line)) {
        fields.push_back(line.substr(line.find(',') + 1));
    }
    const std::vector<std::string> want = {"90.0,,,2,live,", "105.0,,,2,live,", "105.0,,,2,held,", "105.0,,,2,live,",
                                           "90.0,,270.0,0,live,"};
    EXPECT_EQ(fields, want) << out;
}

TEST(Readings, ATraceLineIsOneJsonObjectOfBoundedDepthWhateverBytesItsNamesHold)
{
    readings::TraceLine read;
    // A file name in the user's own bytes, not UTF-8, leaves the rest of the line readable.
    ASSERT_TRUE(readings::ReadTraceLine("{\"t\":5,\"type\":\"call\",\"name\":\"Camera::StartPreview\","
                                        "\"args\":{\"file\":\"/pics/caf\xe9.jpg\",\"result\":\"E_SUCCESS\"}}",
                                        read));
    EXPECT_EQ(read.name, "Camera::StartPreview");
    EXPECT_EQ(read.result, "E_SUCCESS");
    EXPECT_EQ(read.time, 5.0);
    // Text the trace writes in UTF-8 is read as written.
    ASSERT_TRUE(
        readings::ReadTraceLine("{\"t\":6,\"type\":\"finger\",\"name\":\"corner\","
                                "\"args\":{\"x\":5,\"y\":7,\"refused\":\"this edge bends: 1.1\u00b0 or 1.2\xc2\xb0\"}}",
                                read));
    EXPECT_EQ(read.refused, "this edge bends: 1.1\xc2\xb0 or 1.2\xc2\xb0");

    // Thirty-two containers inside the line's object are read; one more is no trace line.
    const auto nested = [](int depth) {
        return "{\"type\":\"canvas\",\"x\":" + std::string(depth, '[') + "1" + std::string(depth, ']') + "}";
    };
    EXPECT_TRUE(readings::ReadTraceLine(nested(31), read));
    EXPECT_FALSE(readings::ReadTraceLine(nested(32), read));
    EXPECT_FALSE(readings::ReadTraceLine(nested(100000), read));

    // The last of a key given twice counts, and another kind of value empties its field.
    ASSERT_TRUE(readings::ReadTraceLine("{\"type\":\"canvas\",\"draws\":[{\"bitmap\":\"bigNum1.png\",\"angle\":90}],"
                                        "\"type\":5}",
                                        read));
    EXPECT_FALSE(read.type);
    ASSERT_EQ(read.draws.size(), 1u);
    EXPECT_EQ(read.draws[0].angle, 90.0);

    for (const char* notOne : {"[1]", "5", "{\"t\":1e999}", "{\"t\":1} {}", "{\"t\":01}", "{\"a\":\"\\x\"}", ""}) {
        EXPECT_FALSE(readings::ReadTraceLine(notOne, read)) << notOne;
    }
}

TEST(Readings, TheReadoutSpellsOnlyWholeNumbersAndReadsBackInTenths)
{
    const auto shown = [](std::vector<std::string> names, double angle) {
        std::vector<readings::Draw> draws;
        for (auto& n : names) {
            draws.push_back({n, angle});
        }
        return readings::ReadReadout(draws);
    };
    const readings::Readout r = shown({"bigNum1.png", "landscape_pin.png", "bigNum0.png", "bigNum5.png", "bigNum10.png",
                                       "bigNum0.png", "bigNum11.png", "smallNum2.png", "smallNum5.png", "smallNum5.png",
                                       "smallNum10.png", "smallNum0.png", "smallNum11.png"},
                                      -90);
    EXPECT_EQ(r.angle, "105.0");
    EXPECT_EQ(r.otherSide, "255.0");
    EXPECT_EQ(r.orientation, 1);
    EXPECT_EQ(readings::Tenths(r.angle), 1050);
    EXPECT_EQ(readings::Tenths(r.otherSide), 2550);
    // Without the sign, with two tenths, a digit after the sign, or no digit before the point:
    // no number at all.
    for (const auto& names : std::vector<std::vector<std::string>>{
             {"bigNum9.png", "bigNum10.png", "bigNum5.png"},
             {"bigNum9.png", "bigNum10.png", "bigNum5.png", "bigNum5.png", "bigNum11.png"},
             {"bigNum9.png", "bigNum10.png", "bigNum5.png", "bigNum11.png", "bigNum1.png"},
             {"bigNum10.png", "bigNum5.png", "bigNum11.png"}}) {
        const readings::Readout none = shown(names, 0);
        EXPECT_EQ(none.angle, "") << names.size();
        EXPECT_EQ(none.orientation, -1);
        EXPECT_EQ(readings::Tenths(none.angle), -1);
    }
    EXPECT_EQ(readings::Tenths("0.0"), 0);
    EXPECT_EQ(readings::Tenths("360.0"), 3600);
    for (const char* notShown : {"", "5", ".5", "5.", "5.55", "x.5", "99999999999.0"}) {
        EXPECT_EQ(readings::Tenths(notShown), -1) << notShown;
    }
}
