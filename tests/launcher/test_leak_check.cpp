// The end of a run under the sanitizers: a leak is reported and fails the run, and a run that
// loaded libcamera's tracing and GStreamer's threads ends cleanly, every time.
#include <gtest/gtest.h>

#include <string>

#include "LeakCheck.h"
#include "support/Launch.h"

using testing_support::Outcome;
using testing_support::RunVeltora;

TEST(LeakCheck, ALeakInTheApplicationIsReportedAndFailsTheRun)
{
#ifndef VELTORA_LEAK_CHECK
    GTEST_SKIP() << "only a sanitizer build checks for leaks";
#else
    const Outcome o =
        RunVeltora("--headless --seconds 0.1 --app " + std::string(VELTORA_BIN_DIR) + "/libveltora_leaky_entry.so");
    EXPECT_NE(o.code, 0) << o.out;
    EXPECT_NE(o.out.find("LeakSanitizer: detected memory leaks"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("4096 byte(s) leaked"), std::string::npos) << o.out;
#endif
}

TEST(LeakCheck, RunsThatStartLibcameraEndCleanlyEveryTime)
{
    // libcamera brings its tracing library, whose threads are torn down by its destructor as the
    // process exits; the leak check must not meet them half gone. Ten runs in a row, as a race
    // shows itself only now and then.
    for (int i = 0; i < 10; ++i) {
        const Outcome o = RunVeltora("--headless --seconds 0.2 --camera libcamera:/base/no-such-camera");
        ASSERT_EQ(o.code, 0) << "run " << i << ":\n" << o.out;
        ASSERT_EQ(o.out.find("LeakSanitizer"), std::string::npos) << "run " << i << ":\n" << o.out;
    }
}
