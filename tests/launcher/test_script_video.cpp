// A script that steps through a video: `frame N` shows that frame, paused, and a reading made
// there carries the frame's number and its time in the video into the trace; bad frame
// numbers are refused with their line, before or while the script runs.
#include <gtest/gtest.h>

#include "backends/CountingVideo.h"
#include "headless/Script.h"
#include "support/Launch.h"

#include <fstream>
#include <sstream>
#include <string>

namespace {

using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::Temp;

std::string Read(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ScriptVideo, FrameNumbersAreWholeAndNotNegative)
{
    const std::pair<const char*, const char*> bad[] = {
        {"frame -1\n", "frame takes a frame number, 0 for the video's first, not '-1'"},
        {"frame 2.5\n", "frame takes a frame number, 0 for the video's first, not '2.5'"},
        {"frame ten\n", "'ten' is not a number (expected: frame N)"},
        {"frame\n", "expected: frame N"},
        {"pause 3\n", "expected: pause"},
    };
    for (const auto& [text, says] : bad) {
        headless::Script script;
        std::string error;
        EXPECT_FALSE(headless::Script::Parse(text, "s.txt", script, error)) << text;
        EXPECT_EQ(error, std::string("s.txt:1: ") + says);
    }
    headless::Script script;
    std::string error;
    ASSERT_TRUE(headless::Script::Parse("frame 0\npause\nplay\nframe 12\n", "s.txt", script, error)) << error;
    ASSERT_EQ(script.Commands().size(), 4u);
    EXPECT_EQ(script.Commands()[3].numbers, std::vector<double>{12});
}

TEST(ScriptVideo, AReadingInAFrameCarriesThatFramesTimeAndAFramePastTheEndIsTold)
{
    const std::string video = Temp("count-script.avi");
    counting_video::WriteCountingVideo(video);
    if (HasFatalFailure()) return;
    const std::string script = Temp("frames.txt");
    // The counting video has no corner: the refusal is a reading too, and says when it was.
    std::ofstream(script) << "frame 5\ncorner 400 240\nframe 99\npause\nwait 200\nframe 2\nedge 200 240\nplay\n";
    const std::string trace = Temp("frames.jsonl");
    const Outcome o = RunVeltora("--headless --camera " + video + " --trace " + trace + " --script " + script);
    EXPECT_EQ(o.code, 4) << o.out;
    EXPECT_NE(o.out.find(script + ":3: frame 99 is past the video's end (its frames are 0 to 11)"), std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("1 frame, pause or play of the script could not be done"), std::string::npos) << o.out;
    const std::string lines = Read(trace);
    EXPECT_NE(lines.find("\"name\":\"corner\",\"args\":{\"x\":400,\"y\":240,\"refused\":"), std::string::npos) << lines;
    EXPECT_NE(lines.find("\"frame\":5,\"pts_ms\":333.333,\"pts_from\":\"stamp\""), std::string::npos) << lines;
    // Frame 2, shown after a wait while paused: still frame 2 when the edge is looked for.
    EXPECT_NE(lines.find("\"frame\":2,\"pts_ms\":133.333,\"pts_from\":\"stamp\""), std::string::npos) << lines;
}

} // namespace
