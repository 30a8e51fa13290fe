// GStreamer's streaming threads outlive the pipelines that used them: parked in GLib's pool for
// the next pipeline, never ending on their own while the process runs.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "backends/gst/CameraElements.h"

namespace {

// Plays a pipeline to its end and stops it.
void PlayToEnd(const std::string& description)
{
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    ASSERT_NE(pipeline, nullptr) << (error ? error->message : "");
    ASSERT_EQ(error, nullptr) << error->message;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND,
                                                     GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(message), GST_MESSAGE_EOS);
    gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

} // namespace

TEST(GstreamerThreads, AStoppedPipelineLeavesAllItsThreadsParkedForTheNext)
{
    std::string reason;
    ASSERT_TRUE(gst::EnsureGstreamer(reason)) << reason;
    // Five sources, five streaming threads: more than GLib keeps by default, which would end
    // the rest as the pipeline stops.
    std::string five;
    for (int i = 0; i < 5; ++i)
        five += "videotestsrc num-buffers=3 ! fakesink ";
    PlayToEnd(five);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (g_thread_pool_get_num_unused_threads() < 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(g_thread_pool_get_num_unused_threads(), 5u);
    // Parked for good, not until an idle timer runs out.
    EXPECT_EQ(g_thread_pool_get_max_idle_time(), 0u);

    // The next pipeline takes its threads from the parked ones.
    const guint parked = g_thread_pool_get_num_unused_threads();
    PlayToEnd("videotestsrc num-buffers=3 ! fakesink");
    EXPECT_LE(g_thread_pool_get_num_unused_threads(), parked);
}
