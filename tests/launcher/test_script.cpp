// Scripts through the launcher: bad lines are refused before anything runs, and a
// script that lines the pins up with a known corner of the demo scene reads its angle,
// checked through the trace.
#include <gtest/gtest.h>

#include "support/Launch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "TraceLine.h"
#include "codec/ImageCodec.h"
#include "demo/DemoScene.h"
#include "headless/Script.h"
#include "support/Wedge.h"

using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::Temp;

namespace {

std::string WriteScript(const std::string& name, const std::string& text)
{
    const std::string path = Temp(name);
    std::ofstream(path) << text;
    return path;
}

// The numbers shown by the last canvas in a trace, as the readout shows them: the big
// readout, then the small one.
std::pair<std::string, std::string> LastReadout(const std::string& tracePath)
{
    std::ifstream in(tracePath);
    readings::Readout last;
    for (std::string line; std::getline(in, line);) {
        readings::TraceLine read;
        if (readings::ReadTraceLine(line, read) && read.type == "canvas") {
            last = readings::ReadReadout(read.draws);
        }
    }
    return {last.angle, last.otherSide};
}

// Where a finger ends up so that a pin points along `direction` (screen degrees,
// counter-clockwise from right) from the dial's touch centre: the whole-pixel point
// near `radius` whose angle, as the dial computes it, errs the least, over or under the
// edge's as asked. The readout cuts off below a tenth, so the larger angle's finger errs
// over and the smaller's under, as a careful user would line them up.
struct Finger {
    int x, y;
};

double DialAngle(bool landscape, int x, int y)
{
    const double cx = 400, cy = landscape ? 480 : 240;
    const double dx = x - cx, dy = y - cy, len = std::sqrt(dx * dx + dy * dy);
    if (landscape) {
        return std::acos(-dx / len) * 180 / M_PI;
    }
    const double a = std::acos(dy / len) * 180 / M_PI;
    return x > 399 ? 360 - a : a;
}

Finger Along(bool landscape, double direction, double radius, double want, bool over)
{
    const double cx = 400, cy = landscape ? 480 : 240;
    Finger best{0, 0};
    double bestErr = 1e9;
    for (double r = radius - 40; r <= radius; r += 0.25) {
        const int x = static_cast<int>(std::lround(cx + r * std::cos(direction * M_PI / 180)));
        const int y = static_cast<int>(std::lround(cy - r * std::sin(direction * M_PI / 180)));
        const double err = DialAngle(landscape, x, y) - want;
        if ((over ? err >= 0 : err <= 0) && std::abs(err) < bestErr) {
            bestErr = std::abs(err);
            best = {x, y};
        }
    }
    return best;
}

std::string Line(const char* cmd, Finger a)
{
    return std::string(cmd) + " " + std::to_string(a.x) + " " + std::to_string(a.y) + "\n";
}

} // namespace

TEST(Script, ABadLineIsRefusedWithItsPlaceAndNothingRuns)
{
    struct Case {
        std::string text;
        int line;
        std::string says;
    };
    const Case cases[] = {
        {"wait 100\njump 1 2\n", 2, "unknown command 'jump'"},
        {"# fine\n\ndown 10\n", 3, "expected: down X Y"},
        {"move 10 ten\n", 1, "'ten' is not a number"},
        {"press 10.5 3\n", 1, "not a whole number"},
        {"corner 1000000 5\n", 1, "'1000000' is past the limit of -100000 to 100000 pixels (expected: corner X Y)"},
        {"press 100000 -100001\n", 1, "'-100001' is past the limit of -100000 to 100000 pixels"},
        {"wait -5\n", 1, "wait takes 0 to"},
        {"wait nan\n", 1, "not a number"},
        {"screenshot\n", 1, "expected: screenshot FILE"},
        {"drag 1 2 3 4 0\n", 1, "a drag takes 1 to 1000 steps"},
    };
    int i = 0;
    for (const auto& c : cases) {
        const std::string path = WriteScript("bad" + std::to_string(i++) + ".txt", c.text);
        const Outcome o = RunVeltora("--headless --script " + path);
        EXPECT_EQ(o.code, 2) << c.text << o.out;
        EXPECT_EQ(o.out, "veltora: " + path + ":" + std::to_string(c.line) + ": " +
                             o.out.substr(o.out.find(": ", o.out.find(path)) + 2))
            << o.out;
        EXPECT_NE(o.out.find(path + ":" + std::to_string(c.line) + ": "), std::string::npos) << o.out;
        EXPECT_NE(o.out.find(c.says), std::string::npos) << o.out;
        EXPECT_EQ(o.out.find("Application started."), std::string::npos) << "the script ran: " << o.out;
    }
    const Outcome missing = RunVeltora("--headless --script /nonexistent/script.txt");
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.out.find("cannot read script /nonexistent/script.txt"), std::string::npos) << missing.out;
}

TEST(Script, MeasuresTheKnownCornersOfTheDemoSceneInBothLayouts)
{
    const auto& corners = demo::DemoScene::KnownAngles();
    const demo::KnownAngle& ridge = corners[0]; // at the landscape dial's centre
    const demo::KnownAngle& square = corners[1]; // at the portrait dial's centre
    ASSERT_EQ(ridge.vertexX, 400);
    ASSERT_EQ(ridge.vertexY, 469);
    ASSERT_EQ(square.vertexX, 399);
    ASSERT_EQ(square.vertexY, 239);
    const auto tenths = [](double angle) { return static_cast<int>(std::lround(angle * 10)); };
    const auto text = [](int t) { return std::to_string(t / 10) + "." + std::to_string(t % 10); };

    // Landscape: 0 points left, so an edge at direction d reads 180 - d. The measuring
    // pin is taken near the centre, the origin pin on the ring; each then follows the
    // finger out along its edge.
    const double l1 = 180 - ridge.edge2Deg, l2 = 180 - ridge.edge1Deg;
    ASSERT_LT(l1, l2);
    std::string s = "# measure the roof truss ridge on the landscape dial\npitch -90\nwait 600\n";
    s += Line("down", Along(true, ridge.edge2Deg, 60, l1, false)) +
         Line("move", Along(true, ridge.edge2Deg, 120, l1, false));
    s += Line("move", Along(true, ridge.edge2Deg, 340, l1, false)) +
         Line("up", Along(true, ridge.edge2Deg, 340, l1, false));
    s += Line("down", Along(true, ridge.edge1Deg, 220, l2, true)) +
         Line("move", Along(true, ridge.edge1Deg, 300, l2, true));
    s += Line("move", Along(true, ridge.edge1Deg, 360, l2, true)) +
         Line("up", Along(true, ridge.edge1Deg, 360, l2, true));
    s += "wait 100\nscreenshot " + Temp("measured-landscape.png") + "\npress 753 48\nwait 200\n";
    const std::string landscapeTrace = Temp("landscape.jsonl");
    Outcome o = RunVeltora("--headless --trace " + landscapeTrace + " --script " + WriteScript("landscape.txt", s));
    ASSERT_EQ(o.code, 0) << o.out;
    auto [big, small] = LastReadout(landscapeTrace);
    EXPECT_EQ(big, text(tenths(ridge.angleDeg))) << s;
    EXPECT_EQ(small, "");
    // The hold froze the picture: the last canvas carries the pressed hold image.
    std::ifstream in(landscapeTrace);
    std::stringstream all;
    all << in.rdbuf();
    const std::string trace = all.str();
    EXPECT_NE(trace.rfind("hold_on.png"), std::string::npos);
    EXPECT_GT(trace.rfind("Camera::StopPreview"), trace.rfind("\"type\":\"canvas\""));

    // Portrait: 0 points down and angles grow clockwise, so direction d reads 270 - d.
    const double p1 = std::fmod(270 - square.edge2Deg + 360, 360), p2 = std::fmod(270 - square.edge1Deg + 360, 360);
    ASSERT_LT(p1, p2);
    s = "# measure the set square's corner on the round dial\npitch 0\nwait 600\n";
    s += Line("down", Along(false, square.edge2Deg, 45, p1, false)) +
         Line("move", Along(false, square.edge2Deg, 80, p1, false));
    s += Line("move", Along(false, square.edge2Deg, 225, p1, false)) +
         Line("up", Along(false, square.edge2Deg, 225, p1, false));
    s += Line("down", Along(false, square.edge1Deg, 150, p2, true)) +
         Line("move", Along(false, square.edge1Deg, 200, p2, true));
    s += Line("move", Along(false, square.edge1Deg, 230, p2, true)) +
         Line("up", Along(false, square.edge1Deg, 230, p2, true));
    s += "press 48 47\nwait 200\nscreenshot " + Temp("measured-portrait.png") + "\n";
    // The help page, and back to the live picture.
    s += "press 90 440\nwait 100\nscreenshot " + Temp("help.png") + "\npress 400 32\nwait 200\n";
    const std::string portraitTrace = Temp("portrait.jsonl");
    o = RunVeltora("--headless --trace " + portraitTrace + " --script " + WriteScript("portrait.txt", s) +
                   " --screenshot " + Temp("after-help.png"));
    ASSERT_EQ(o.code, 0) << o.out;
    std::tie(big, small) = LastReadout(portraitTrace);
    EXPECT_EQ(big, text(tenths(square.angleDeg))) << s;
    EXPECT_EQ(small, text(3600 - tenths(square.angleDeg)));
    std::ifstream pin(portraitTrace);
    std::stringstream pall;
    pall << pin.rdbuf();
    const std::string ptrace = pall.str();
    EXPECT_NE(ptrace.find("\"orientation\":\"portrait\""), std::string::npos);
    EXPECT_GT(ptrace.rfind("\"orientation\":\"landscape\""), ptrace.find("\"orientation\":\"portrait\""));
    for (const char* shot : {"measured-landscape.png", "measured-portrait.png", "help.png", "after-help.png"}) {
        std::ifstream f(Temp(shot), std::ios::binary | std::ios::ate);
        EXPECT_GT(static_cast<long>(f.tellg()), 10000) << shot;
    }
}

TEST(Script, IsBoundedPlainTextWithOneRuleForNumbers)
{
    headless::Script script;
    std::string error;
    // Only a file of bounded size is a script: not a folder, not an endless device.
    EXPECT_FALSE(headless::Script::Load(::testing::TempDir(), script, error));
    EXPECT_NE(error.find("a folder, not a script"), std::string::npos) << error;
    EXPECT_FALSE(headless::Script::Load("/dev/zero", script, error));
    EXPECT_NE(error.find("/dev/zero: longer than 1 MiB"), std::string::npos) << error;
    std::string many;
    for (int i = 0; i < headless::Script::kMaxLines; i++) {
        many += "\n";
    }
    EXPECT_TRUE(headless::Script::Parse(many, "s", script, error)) << error;
    EXPECT_FALSE(headless::Script::Parse(many + "wait 1\n", "s", script, error));
    EXPECT_EQ(error, "s:100001: a script holds at most 100000 lines");

    EXPECT_FALSE(headless::Script::Parse(std::string("wait 1\nwait 2\0\n", 14), "s", script, error));
    EXPECT_EQ(error, "s:2: the line holds a NUL byte; a script is plain text");

    // An editor's byte-order mark is skipped; a screenshot's file is the rest of its line.
    ASSERT_TRUE(
        headless::Script::Parse("\xEF\xBB\xBFwait 5\nscreenshot   my shot.png  # the end\n", "s", script, error))
        << error;
    ASSERT_EQ(script.Commands().size(), 2u);
    EXPECT_EQ(script.Commands()[0].numbers, std::vector<double>{5});
    EXPECT_EQ(script.Commands()[1].text, "my shot.png");

    // Decimal only, for every command alike.
    for (const char* bad : {"wait 0x10", "pitch inf", "pitch -inf", "pitch nan", "pitch 1e-320", "wait 1e3",
                            "aim 2 0.5 .", "pitch 1.2.3", "pitch -", "wait +"}) {
        EXPECT_FALSE(headless::Script::Parse(std::string(bad) + "\n", "s", script, error)) << bad;
        EXPECT_NE(error.find("is not a number"), std::string::npos) << bad << ": " << error;
    }
    EXPECT_FALSE(headless::Script::Parse("pitch 1" + std::string(400, '0') + "\n", "s", script, error));
    ASSERT_TRUE(headless::Script::Parse("pitch -90\npitch +0.5\naim 2 .25 1.\nwait 010\n", "s", script, error))
        << error;
    EXPECT_EQ(script.Commands()[0].numbers, std::vector<double>{-90});
    EXPECT_EQ(script.Commands()[1].numbers, std::vector<double>{0.5});
    EXPECT_EQ(script.Commands()[2].numbers, (std::vector<double>{2, 0.25, 1}));
    EXPECT_EQ(script.Commands()[3].numbers, std::vector<double>{10});
}

// The finger's lines of a trace: each one's name and args, as written.
std::vector<std::string> FingerLines(const std::string& tracePath)
{
    std::ifstream in(tracePath);
    std::vector<std::string> found;
    for (std::string line; std::getline(in, line);) {
        if (line.find("\"type\":\"finger\"") != std::string::npos) {
            found.push_back(line.substr(line.find("\"name\"")));
        }
    }
    return found;
}

// What veltora-readings makes of a trace.
std::string ReadingsOf(const std::string& tracePath)
{
    std::string out;
    FILE* p = popen((std::string(VELTORA_BIN_DIR) + "/veltora-readings " + tracePath + " 2>&1").c_str(), "r");
    if (!p) {
        return out;
    }
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) {
        out.append(buf, n);
    }
    pclose(p);
    return out;
}

// `corner` and `edge` in a script: the ridge of the demo scene's roof truss reads exactly; a
// point where nothing fits gives one line naming the script's line and a refused record in
// the trace, moves nothing, and lets the run go on to its end, which then fails with its own
// code. No `wait` is needed after either.
TEST(Script, CornerAndEdgeLayTheNeedlesAndFailLoudlyWhenNothingFits)
{
    const std::string s = "pitch -90\nwait 600\ncorner 620 20\nedge 20 460\ncorner 405 463\nedge 280 377\n"
                          "screenshot " +
                          Temp("corner.png") + "\n";
    const std::string trace = Temp("corner.jsonl");
    const std::string path = WriteScript("corner.txt", s);
    const Outcome o = RunVeltora("--headless --trace " + trace + " --script " + path);
    EXPECT_EQ(o.code, 4) << o.out;
    EXPECT_NE(o.out.find("veltora: " + path + ":3: no corner near (620, 20)\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("veltora: " + path + ":4: no straight edge through the hub near (20, 460)\n"),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("veltora: 2 corners and edges of the script read nothing (exit code 4)\n"), std::string::npos)
        << o.out;
    size_t told = 0;
    for (size_t at = o.out.find("veltora: "); at != std::string::npos; at = o.out.find("veltora: ", at + 1)) {
        told++;
    }
    EXPECT_EQ(told, 3u) << o.out;
    EXPECT_EQ(LastReadout(trace).first, "105.0");
    // Every output was still written.
    EXPECT_TRUE(std::ifstream(Temp("corner.png")).good());
    const std::vector<std::string> fingers = FingerLines(trace);
    ASSERT_EQ(fingers.size(), 4u);
    EXPECT_EQ(fingers[0],
              "\"name\":\"corner\",\"args\":{\"x\":620,\"y\":20,\"refused\":\"no corner near (620, 20)\"}}");
    EXPECT_EQ(fingers[1].rfind("\"name\":\"edge\",\"args\":{\"x\":20,\"y\":460,\"refused\":", 0), 0u) << fingers[1];
    EXPECT_EQ(fingers[2], "\"name\":\"corner\",\"args\":{\"x\":405,\"y\":463,\"angle\":105.0,\"uncertainty\":0.1}}");
    EXPECT_EQ(fingers[3].rfind("\"name\":\"edge\",\"args\":{\"x\":280,\"y\":377,\"angle\":", 0), 0u) << fingers[3];
    // veltora-readings: the refusals are rows of their own, the reading has its uncertainty.
    const std::string rows = ReadingsOf(trace);
    EXPECT_NE(rows.find(",refused,,,2,live,\"no corner near (620, 20)\"\n"), std::string::npos) << rows;
    EXPECT_NE(rows.find(",refused,,,2,live,\"no straight edge through the hub near (20, 460)\"\n"), std::string::npos)
        << rows;
    EXPECT_NE(rows.find(",105.0,0.1,,2,live,\n"), std::string::npos) << rows;
}

// A `corner` is done before the next line: as the script's last line, followed at once by a
// screenshot, or a hundred in a row, the readout shows what it read.
TEST(Script, ACornerIsDoneBeforeTheNextLine)
{
    const std::string start = "pitch -90\nwait 600\n";
    const std::string last = Temp("last.jsonl");
    Outcome o =
        RunVeltora("--headless --trace " + last + " --script " + WriteScript("last.txt", start + "corner 405 463\n"));
    EXPECT_EQ(o.code, 0) << o.out;
    EXPECT_EQ(LastReadout(last).first, "105.0");

    // The screenshot right after it shows the readout a later one shows, not the one before
    // (the rest of the scene moves: its clock ticks).
    const std::string before = Temp("before.png"), now = Temp("now.png"), later = Temp("later.png");
    o = RunVeltora("--headless --script " +
                   WriteScript("shot.txt", start + "screenshot " + before + "\ncorner 405 463\nscreenshot " + now +
                                               "\nwait 500\nscreenshot " + later + "\n"));
    EXPECT_EQ(o.code, 0) << o.out;
    const auto readout = [](const std::string& file) {
        codec::DecodedImage shot;
        std::string reason;
        EXPECT_TRUE(codec::DecodeImageFile(file, shot, reason)) << file << ": " << reason;
        std::vector<std::uint32_t> box;
        for (int y = 15; y < 75 && y < shot.height; y++) {
            for (int x = 10; x < 140 && x < shot.width; x++) {
                box.push_back(shot.pixels[static_cast<std::size_t>(y) * shot.width + x]);
            }
        }
        return box;
    };
    EXPECT_FALSE(readout(now).empty());
    EXPECT_TRUE(readout(now) == readout(later)) << "the screenshot after the corner does not show its reading yet";
    EXPECT_FALSE(readout(now) == readout(before));

    std::string many = start;
    for (int i = 0; i < 100; i++) {
        many += "corner 405 463\n";
    }
    const std::string manyTrace = Temp("many.jsonl");
    o = RunVeltora("--headless --trace " + manyTrace + " --script " + WriteScript("many.txt", many));
    EXPECT_EQ(o.code, 0) << o.out;
    EXPECT_EQ(LastReadout(manyTrace).first, "105.0");
    const std::vector<std::string> fingers = FingerLines(manyTrace);
    EXPECT_EQ(std::count_if(fingers.begin(), fingers.end(),
                            [](const std::string& f) { return f.find("\"angle\":105.0,") != std::string::npos; }),
              100);
}

// A corner the picture fixes less well than a tenth is still a reading: laid, recorded with its
// uncertainty, and the run succeeds; only its words say how far it can be trusted.
TEST(Script, ACornerKnownLessWellThanATenthIsLaidWithItsUncertainty)
{
    testing_support::Wedge w;
    w.vertexX = 400.3;
    w.vertexY = 300.6;
    w.arm1Deg = 25;
    w.openingDeg = 70;
    w.noise = 12;
    w.blur = 1.5;
    const std::vector<std::uint32_t> pixels = testing_support::DrawWedge(w, 800, 480, 3);
    const std::string photo = Temp("rough.png");
    std::string reason;
    ASSERT_TRUE(codec::WritePngFile(photo, pixels.data(), 800, 480, 800 * 4, reason)) << reason;
    const std::string trace = Temp("rough.jsonl");
    const Outcome o = RunVeltora("--headless --camera " + photo + " --trace " + trace + " --script " +
                                 WriteScript("rough.txt", "pitch -90\nwait 600\ncorner 403 297\n"));
    EXPECT_EQ(o.code, 0) << o.out;
    const std::vector<std::string> fingers = FingerLines(trace);
    ASSERT_EQ(fingers.size(), 1u);
    const size_t at = fingers[0].find("\"uncertainty\":");
    ASSERT_NE(at, std::string::npos) << fingers[0];
    EXPECT_EQ(fingers[0].find("refused"), std::string::npos) << fingers[0];
    const double uncertainty = std::stod(fingers[0].substr(at + 14));
    EXPECT_GT(uncertainty, 0.1) << fingers[0];
    EXPECT_LE(std::abs(std::stod(LastReadout(trace).first) - 70), uncertainty + 0.1) << fingers[0];
    // veltora-readings gives the row its reading and its uncertainty, as the trace has them.
    const std::string rows = ReadingsOf(trace);
    char row[64];
    std::snprintf(row, sizeof row, ",%s,%.1f,", LastReadout(trace).first.c_str(), uncertainty);
    EXPECT_NE(rows.find(row), std::string::npos) << rows;
}
