// What the finger reads is the picture the user sees: with the picture held, `corner` reads the
// held picture however long it has stood still, not the live one moving on behind it.
#include <gtest/gtest.h>

#include "support/Launch.h"

#include <fstream>
#include <string>

using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::Temp;

namespace {

// The args of the trace's one finger record.
std::string FingerArgs(const std::string& tracePath)
{
    std::ifstream in(tracePath);
    std::string found;
    for (std::string line; std::getline(in, line);) {
        if (line.find("\"type\":\"finger\"") != std::string::npos) {
            found += line.substr(line.find("\"args\""));
        }
    }
    return found;
}

} // namespace

// The demo's turning wedge opens by about a degree every 40 ms. Held at the start, its corner
// reads the same, 98.0 degrees (its opening when the hold took effect), 0.1 s and 1.5 s later;
// the live wedge has moved some 75 pixels away by then.
TEST(Script, ACornerOnAHeldPictureIsReadInThePictureShown)
{
    for (int waitMs : {100, 1500}) {
        const std::string trace = Temp("held" + std::to_string(waitMs) + ".jsonl");
        const std::string script = Temp("held" + std::to_string(waitMs) + ".txt");
        std::ofstream(script) << "pitch -90\nwait 600\npress 750 45\nwait " << waitMs << "\ncorner 449 372\n";
        const Outcome o = RunVeltora("--headless --camera demo:wedge --trace " + trace + " --script " + script);
        EXPECT_EQ(o.code, 0) << o.out;
        EXPECT_EQ(FingerArgs(trace), "\"args\":{\"x\":449,\"y\":372,\"angle\":98.0,\"uncertainty\":0.1}}")
            << "after " << waitMs << " ms held";
    }
}
