// GStreamer's streaming threads outlive the pipelines that used them: parked in GLib's pool for
// the next pipeline, never ending on their own while the process runs.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "backends/gst/CameraElements.h"
#include "support/Pipelines.h"

using testing_support::Launch;

TEST(GstreamerThreads, AStoppedPipelineLeavesAllItsThreadsParkedForTheNext)
{
    std::string reason;
    ASSERT_TRUE(gst::EnsureGstreamer(reason)) << reason;
    // Five sources, five streaming threads: more than GLib keeps by default, which would end
    // the rest as the pipeline stops.
    std::string five;
    for (int i = 0; i < 5; ++i) five += "videotestsrc num-buffers=3 ! fakesink ";
    ASSERT_EQ(Launch(five), "");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (g_thread_pool_get_num_unused_threads() < 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(g_thread_pool_get_num_unused_threads(), 5u);
    // Parked for good, not until an idle timer runs out.
    EXPECT_EQ(g_thread_pool_get_max_idle_time(), 0u);

    // The next pipeline takes its threads from the parked ones.
    const guint parked = g_thread_pool_get_num_unused_threads();
    ASSERT_EQ(Launch("videotestsrc num-buffers=3 ! fakesink"), "");
    EXPECT_LE(g_thread_pool_get_num_unused_threads(), parked);
}
