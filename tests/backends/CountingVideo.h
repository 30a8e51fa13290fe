// Videos for the tests of the GStreamer camera: a counting video made by GStreamer itself,
// whose every frame tells its number, and rendering helpers.
#pragma once

#include "backends/gst/CameraElements.h"
#include "backends/gst/VideoSource.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include "support/Frames.h"
#include "support/LyingVideo.h"
#include "support/Pipelines.h"
#include "support/Scratch.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace counting_video {

using namespace std::chrono_literals;

using device::Aim;
using device::PixelView;
using gst::VideoSource;
using gst::VideoTiming;
using Clock = std::chrono::steady_clock;

using testing_support::Frame;
using testing_support::kPoison;
using testing_support::Launch;
using testing_support::LyingJpeg;
using testing_support::Near;
using testing_support::RunToEnd;
using testing_support::ScratchDir;

inline constexpr int kFrames = 12;
inline constexpr std::int64_t kFrameUs = 66'667;

// The grey of the counting video's frame i; far enough apart to tell after JPEG.
inline int Level(int i) { return 30 + 15 * i; }

inline void InitGstreamer()
{
    std::string reason;
    ASSERT_TRUE(gst::EnsureGstreamer(reason)) << reason;
}

// The counting video's frames, as many as `stamps` gives (their presentation times), MJPEG in
// `muxer`'s container: frame i is grey Level(i) on its left half and blue on its right half,
// so a rendered frame tells which frame of the file it is.
inline void WriteCountingFrames(const std::string& path, const std::string& muxer,
                                const std::vector<GstClockTime>& stamps, GstClockTime duration, int width = 160,
                                int height = 120)
{
    InitGstreamer();
    GError* err = nullptr;
    const std::string caps = "video/x-raw,format=BGRx,width=" + std::to_string(width) +
                             ",height=" + std::to_string(height) + ",framerate=15/1";
    GstElement* pipeline = gst_parse_launch(("appsrc name=src format=time caps=" + caps +
                                             " ! videoconvert ! jpegenc quality=95 ! " + muxer + " ! filesink name=out")
                                                .c_str(),
                                            &err);
    ASSERT_EQ(err, nullptr) << err->message;
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_object_set(out, "location", path.c_str(), nullptr);
    gst_object_unref(out);
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        std::vector<std::uint32_t> pixels(std::size_t(width) * height);
        const std::uint32_t grey = 0xFF000000u | std::uint32_t(Level(int(i))) * 0x010101u;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) pixels[std::size_t(y) * width + x] = x < width / 2 ? grey : 0xFF0000FFu;
        GstBuffer* buffer = gst_buffer_new_memdup(pixels.data(), pixels.size() * 4);
        GST_BUFFER_PTS(buffer) = stamps[i];
        GST_BUFFER_DURATION(buffer) = duration;
        ASSERT_EQ(gst_app_src_push_buffer(GST_APP_SRC(src), buffer), GST_FLOW_OK);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    gst_object_unref(src);
    ASSERT_EQ(RunToEnd(pipeline), "");
}

// An MJPEG AVI of kFrames frames at 15 fps.
inline void WriteCountingVideo(const std::string& path, int width = 160, int height = 120)
{
    std::vector<GstClockTime> stamps;
    for (int i = 0; i < kFrames; ++i) {
        stamps.push_back(gst_util_uint64_scale(i, GST_SECOND, 15));
    }
    WriteCountingFrames(path, "avimux", stamps, gst_util_uint64_scale(1, GST_SECOND, 15), width, height);
}

// Which frame of the counting video a rendered frame shows, by the grey of its left half;
// -1 when the grey is none of the video's.
inline int FrameNumber(const Frame& f)
{
    const std::uint32_t p = f.At(f.width / 4, f.height / 2);
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    if (std::max({r, g, b}) - std::min({r, g, b}) > 8) return -1;
    for (int i = 0; i < kFrames; ++i)
        if (std::abs(g - Level(i)) <= 5) return i;
    return -1;
}

inline Frame Render(VideoSource& source, std::int64_t timeUs, int width = 800, int height = 480)
{
    Frame f(width, height, 2);
    std::string reason;
    EXPECT_TRUE(source.Render(timeUs, f.View(), reason)) << reason;
    return f;
}

// Renders every 20 ms until Render fails or `limit` passes; returns the failure's reason.
inline std::string RenderUntilFailure(VideoSource& source, std::chrono::milliseconds limit)
{
    Frame f(320, 240);
    const auto end = Clock::now() + limit;
    std::int64_t t = 0;
    while (Clock::now() < end) {
        std::string reason;
        if (!source.Render(t += 33'333, f.View(), reason)) return reason.empty() ? "(failed without a reason)" : reason;
        std::this_thread::sleep_for(20ms);
    }
    return "";
}

} // namespace counting_video
