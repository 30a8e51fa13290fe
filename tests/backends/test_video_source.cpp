// Checks the GStreamer camera with videos made here by GStreamer itself: a file shows one frame per
// preview frame and loops, live sources go the webcam's way, and bad files, devices and streams fail plainly.
#include "backends/gst/VideoSource.h"
#include "backends/gst/CameraElements.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/resource.h>

#include "support/Frames.h"
#include "support/Pipelines.h"
#include "support/LyingVideo.h"
#include "support/Scratch.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using device::Aim;
using device::PixelView;
using gst::VideoSource;
using gst::VideoTiming;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using testing_support::Frame;
using testing_support::Launch;
using testing_support::RunToEnd;
using testing_support::kPoison;
using testing_support::LyingJpeg;
using testing_support::Near;
using testing_support::ScratchDir;
constexpr int kFrames = 12;
constexpr std::int64_t kFrameUs = 66'667;

// The grey of the counting video's frame i; far enough apart to tell after JPEG.
int Level(int i) { return 30 + 15 * i; }


void InitGstreamer()
{
    std::string reason;
    ASSERT_TRUE(gst::EnsureGstreamer(reason)) << reason;
}

// An MJPEG AVI of kFrames frames at 15 fps: frame i is grey Level(i) on its left half and blue
// on its right half, so a rendered frame tells which frame of the file it is.
void WriteCountingVideo(const std::string& path, int width = 160, int height = 120)
{
    InitGstreamer();
    GError* err = nullptr;
    const std::string caps = "video/x-raw,format=BGRx,width=" + std::to_string(width) +
                             ",height=" + std::to_string(height) + ",framerate=15/1";
    GstElement* pipeline = gst_parse_launch(
        ("appsrc name=src format=time caps=" + caps + " ! videoconvert ! jpegenc quality=95 ! avimux ! filesink name=out").c_str(),
        &err);
    ASSERT_EQ(err, nullptr) << err->message;
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_object_set(out, "location", path.c_str(), nullptr);
    gst_object_unref(out);
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    for (int i = 0; i < kFrames; ++i) {
        std::vector<std::uint32_t> pixels(std::size_t(width) * height);
        const std::uint32_t grey = 0xFF000000u | std::uint32_t(Level(i)) * 0x010101u;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels[std::size_t(y) * width + x] = x < width / 2 ? grey : 0xFF0000FFu;
        GstBuffer* buffer = gst_buffer_new_memdup(pixels.data(), pixels.size() * 4);
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(i, GST_SECOND, 15);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, 15);
        ASSERT_EQ(gst_app_src_push_buffer(GST_APP_SRC(src), buffer), GST_FLOW_OK);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    gst_object_unref(src);
    ASSERT_EQ(RunToEnd(pipeline), "");
}

// Which frame of the counting video a rendered frame shows, by the grey of its left half;
// -1 when the grey is none of the video's.
int FrameNumber(const Frame& f)
{
    const std::uint32_t p = f.At(f.width / 4, f.height / 2);
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    if (std::max({r, g, b}) - std::min({r, g, b}) > 8)
        return -1;
    for (int i = 0; i < kFrames; ++i)
        if (std::abs(g - Level(i)) <= 5)
            return i;
    return -1;
}

Frame Render(VideoSource& source, std::int64_t timeUs, int width = 800, int height = 480)
{
    Frame f(width, height, 2);
    std::string reason;
    EXPECT_TRUE(source.Render(timeUs, f.View(), reason)) << reason;
    return f;
}

// Renders every 20 ms until Render fails or `limit` passes; returns the failure's reason.
std::string RenderUntilFailure(VideoSource& source, std::chrono::milliseconds limit)
{
    Frame f(320, 240);
    const auto end = Clock::now() + limit;
    std::int64_t t = 0;
    while (Clock::now() < end) {
        std::string reason;
        if (!source.Render(t += 33'333, f.View(), reason))
            return reason.empty() ? "(failed without a reason)" : reason;
        std::this_thread::sleep_for(20ms);
    }
    return "";
}

TEST(VideoSource, NamesItsSourceAndOffersTheLandscapeFrameLast)
{
    EXPECT_EQ(VideoSource(VideoSource::Kind::File, "/films/bridge.mp4").Describe(), "video bridge.mp4");
    EXPECT_EQ(VideoSource(VideoSource::Kind::Webcam, "/dev/video2").Describe(), "webcam /dev/video2");
    const auto sizes = VideoSource(VideoSource::Kind::File, "x.avi").Resolutions();
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back(), (device::FrameSize{800, 480}));
}

TEST(VideoSource, FileShowsOneFramePerPreviewFrameAndLoops)
{
    ScratchDir dir("video-test");
    const std::string path = dir.File("count.avi");
    WriteCountingVideo(path);
    if (HasFatalFailure())
        return;

    VideoSource source(VideoSource::Kind::File, path);
    std::string reason;
    ASSERT_TRUE(source.Open(reason)) << reason;

    // Two and a half times through the file, one frame per call.
    std::int64_t t = 0;
    for (int k = 0; k < kFrames * 5 / 2; ++k, t += kFrameUs) {
        Frame f = Render(source, t);
        ASSERT_EQ(FrameNumber(f), k % kFrames) << "call " << k;
        ASSERT_TRUE(Near(f.At(600, 240), 0xFF0000FFu, 24)) << std::hex << f.At(600, 240);
        for (int y = 0; y < f.height; ++y)
            ASSERT_EQ(f.words[std::size_t(y) * f.strideWords + f.width], kPoison) << "padding written";
    }
    // Asked again for the same moment, the picture stays where it is.
    const int shown = (kFrames * 5 / 2 - 1) % kFrames;
    EXPECT_EQ(FrameNumber(Render(source, t - kFrameUs)), shown);
    EXPECT_EQ(FrameNumber(Render(source, t - kFrameUs)), shown);
    EXPECT_EQ(FrameNumber(Render(source, t)), (shown + 1) % kFrames);

    // A video much larger than the frame is drawn from a halved copy: each new frame of the
    // file must get its own, never the one made for the frame before.
    const std::string large = dir.File("large.avi");
    WriteCountingVideo(large, 640, 480);
    if (HasFatalFailure())
        return;
    VideoSource big(VideoSource::Kind::File, large);
    ASSERT_TRUE(big.Open(reason)) << reason;
    for (int k = 0; k < kFrames + 3; ++k) {
        ASSERT_EQ(FrameNumber(Render(big, k * kFrameUs, 120, 90)), k % kFrames) << "call " << k;
        ASSERT_EQ(FrameNumber(Render(big, k * kFrameUs, 800, 480)), k % kFrames) << "call " << k;
        ASSERT_EQ(FrameNumber(Render(big, k * kFrameUs, 120, 90)), k % kFrames) << "call " << k;
    }

    // Closing and opening again starts from the beginning.
    source.Close();
    ASSERT_TRUE(source.Open(reason)) << reason;
    EXPECT_EQ(FrameNumber(Render(source, 0)), 0);
    EXPECT_EQ(FrameNumber(Render(source, kFrameUs)), 1);
}

TEST(VideoSource, FramesAreAimedLikePhotos)
{
    ScratchDir dir("video-test");
    const std::string path = dir.File("count.avi");
    WriteCountingVideo(path);
    if (HasFatalFailure())
        return;
    VideoSource source(VideoSource::Kind::File, path);
    EXPECT_EQ(source.PictureSize(), (device::FrameSize{0, 0}));
    std::string reason;
    ASSERT_TRUE(source.Open(reason)) << reason;
    // Aiming moves over the video's own picture, which is known once it is open.
    EXPECT_EQ(source.PictureSize(), (device::FrameSize{160, 120}));

    // 160x120 covers 800x480 at 5 times: the grey/blue edge at x = 80 lands at the centre.
    Frame whole = Render(source, 0);
    EXPECT_EQ(FrameNumber(whole), 0);
    EXPECT_TRUE(Near(whole.At(380, 240), 0xFF1E1E1Eu, 8)) << std::hex << whole.At(380, 240);
    EXPECT_TRUE(Near(whole.At(420, 240), 0xFF0000FFu, 24)) << std::hex << whole.At(420, 240);

    // Three times closer on the middle of the grey half: no blue is left in sight.
    source.SetAim(Aim{3.0, 0.25, 0.5});
    Frame close = Render(source, kFrameUs);
    for (int y = 0; y < close.height; y += 4)
        for (int x = 0; x < close.width; x += 4)
            ASSERT_TRUE(Near(close.At(x, y), 0xFF2D2D2Du, 8)) << x << ", " << y << ": " << std::hex << close.At(x, y);
}

TEST(VideoSource, AVideoWithSoundPlaysItsPicture)
{
    InitGstreamer();
    ScratchDir dir("video-test");
    const std::string path = dir.File("talk.avi");
    ASSERT_EQ(Launch("avimux name=mux ! filesink location=\"" + path + "\" "
                     "videotestsrc num-buffers=10 pattern=green ! video/x-raw,width=160,height=120,framerate=15/1 "
                     "! jpegenc ! mux. "
                     "audiotestsrc num-buffers=10 samplesperbuffer=533 ! audio/x-raw,format=S16LE,rate=8000,channels=1 "
                     "! mux."),
              "");
    VideoSource source(VideoSource::Kind::File, path);
    std::string reason;
    ASSERT_TRUE(source.Open(reason)) << reason;
    for (int k = 0; k < 25; ++k) {
        Frame f = Render(source, k * kFrameUs, 320, 240);
        ASSERT_TRUE(Near(f.At(160, 120), 0xFF00FF00u, 24)) << "call " << k << ": " << std::hex << f.At(160, 120);
    }
}

TEST(VideoSource, OpenExplainsFilesItCannotPlay)
{
    InitGstreamer();
    ScratchDir dir("video-test");
    std::string reason;

    VideoSource missing(VideoSource::Kind::File, dir.File("absent.avi"));
    EXPECT_FALSE(missing.Open(reason));
    EXPECT_EQ(reason, "file not found");

    {
        std::ofstream garbage(dir.File("garbage.avi"), std::ios::binary);
        for (int i = 0; i < 4096; ++i)
            garbage.put(char((i * 7919 + 13) % 251));
    }
    VideoSource garbage(VideoSource::Kind::File, dir.File("garbage.avi"));
    reason.clear();
    // Told by what it is, not by the open timeout running out.
    EXPECT_FALSE(garbage.Open(reason));
    EXPECT_EQ(reason.rfind("not a video", 0), 0u) << reason;

    ASSERT_EQ(Launch("audiotestsrc num-buffers=5 ! wavenc ! filesink location=\"" + dir.File("sound.wav") + "\""), "");
    VideoSource sound(VideoSource::Kind::File, dir.File("sound.wav"));
    reason.clear();
    EXPECT_FALSE(sound.Open(reason));
    EXPECT_EQ(reason, "the file has no video");

    VideoSource folder(VideoSource::Kind::File, dir.File(""));
    EXPECT_FALSE(folder.Open(reason));

    // Nothing opened, nothing rendered.
    Frame f(64, 48);
    reason.clear();
    EXPECT_FALSE(garbage.Render(0, f.View(), reason));
    EXPECT_FALSE(reason.empty());
}

// Frame sizes come from the stream and are weighed before any frame of that size is made;
// the bounds are a picture's: 16384 pixels a side, 64 Mi pixels in all.
TEST(VideoSource, FramesBeyondAPicturesBoundsAreRefusedBeforeAnyIsMade)
{
    ScratchDir dir("video-test");
    const auto refusal = [](int w, int h) {
        return "video frames too large (" + std::to_string(w) + "x" + std::to_string(h) +
               "; a picture may be at most 16384 pixels a side and 64 Mi pixels)";
    };
    auto peakKiB = [] {
        rusage use{};
        getrusage(RUSAGE_SELF, &use);
        return use.ru_maxrss;
    };
    const long before = peakKiB();
    // A few hundred bytes a frame claiming 2 GB of pixels once converted.
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{23200, 23200}, {16385, 8}, {16384, 4097}}) {
        const std::string path = dir.File("claims-" + std::to_string(w) + "x" + std::to_string(h) + ".avi");
        ASSERT_EQ(testing_support::WriteLyingVideo(path, w, h), "");
        EXPECT_LT(std::filesystem::file_size(path), 4096u);
        VideoSource source(VideoSource::Kind::File, path);
        std::string reason;
        EXPECT_FALSE(source.Open(reason));
        EXPECT_EQ(reason, refusal(w, h));
        Frame f(64, 48);
        EXPECT_FALSE(source.Render(0, f.View(), reason));
    }
    // Not even the decoder made a frame of them: the first alone would take 770 MiB.
    EXPECT_LT(peakKiB() - before, 64 * 1024);

    // As wide as a picture may be: shown.
    const std::string edge = dir.File("edge.avi");
    ASSERT_EQ(testing_support::WriteLyingVideo(edge, 16384, 8), "");
    VideoSource wide(VideoSource::Kind::File, edge);
    std::string reason;
    ASSERT_TRUE(wide.Open(reason)) << reason;
    EXPECT_EQ(wide.PictureSize(), (device::FrameSize{16384, 8}));
    Render(wide, 0, 320, 240);

    // A frame that grows past the bounds in mid-stream stops the video with the same reason.
    const std::string grows = dir.File("grows.avi");
    ASSERT_EQ(testing_support::WriteMjpegAvi(
                  grows, {LyingJpeg(16, 16), LyingJpeg(16, 16), LyingJpeg(23200, 23200), LyingJpeg(16, 16)}),
              "");
    VideoSource growing(VideoSource::Kind::File, grows);
    ASSERT_TRUE(growing.Open(reason)) << reason;
    std::string why;
    Frame f(64, 48);
    for (int k = 0; k < 8 && why.empty(); ++k)
        if (!growing.Render(k * kFrameUs, f.View(), reason))
            why = reason;
    EXPECT_EQ(why, refusal(23200, 23200));
}

// How much address space the process has mapped, from /proc; 0 when unknown.
std::uint64_t MappedBytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0)
            return std::stoull(line.substr(7)) * 1024;
    return 0;
}

// GStreamer's own allocator ends the program when memory runs out; a frame it cannot have
// must fail the video in one line instead.
TEST(VideoSource, AVideoTooLargeForTheMemoryLeftFailsInOneLine)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
#endif
#endif
    ScratchDir dir("video-test");
    // As large as a picture may be: 96 MiB a frame decoded, 256 MiB converted.
    const std::string path = dir.File("bound.avi");
    ASSERT_EQ(testing_support::WriteLyingVideo(path, 8192, 8192, 2), "");
    const std::uint64_t mapped = MappedBytes();
    ASSERT_GT(mapped, 0u);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    // Room for the decoded frame and GStreamer's threads, not for the converted one.
    rlimit tight = saved;
    tight.rlim_cur = mapped + 300ull * 1024 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    // qemu-user keeps the limit to itself, so as not to starve the emulator.
    void* beyond = mmap(nullptr, 400ull * 1024 * 1024, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (beyond != MAP_FAILED) {
        munmap(beyond, 400ull * 1024 * 1024);
        setrlimit(RLIMIT_AS, &saved);
        GTEST_SKIP() << "this system does not apply an address-space limit (qemu-user ignores it)";
    }
    VideoSource source(VideoSource::Kind::File, path);
    std::string reason;
    const bool opened = source.Open(reason);
    source.Close();
    setrlimit(RLIMIT_AS, &saved);
    EXPECT_FALSE(opened);
    EXPECT_EQ(reason, "out of memory for the video's frames");
}

TEST(VideoSource, OpenExplainsMissingAndWrongDevices)
{
    std::string reason;
    VideoSource absent(VideoSource::Kind::Webcam, "/dev/video99");
    EXPECT_FALSE(absent.Open(reason));
    EXPECT_EQ(reason, "no such device");

    VideoSource file(VideoSource::Kind::Webcam, "/etc/hostname");
    EXPECT_FALSE(file.Open(reason));
    EXPECT_EQ(reason, "not a video device");

    // A character device that is no camera: GStreamer itself says why.
    VideoSource null(VideoSource::Kind::Webcam, "/dev/null");
    reason.clear();
    EXPECT_FALSE(null.Open(reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(reason.find("no picture within"), std::string::npos) << "waited for the timeout: " << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
}

TEST(VideoSource, LiveSourceShowsItsNewestPicture)
{
    VideoSource blue(VideoSource::Kind::LiveDescription, "videotestsrc is-live=true pattern=blue");
    EXPECT_EQ(blue.Describe(), "live source videotestsrc is-live=true pattern=blue");
    std::string reason;
    ASSERT_TRUE(blue.Open(reason)) << reason;
    Frame f = Render(blue, 0, 640, 480);
    for (std::uint32_t p : std::vector<std::uint32_t>{f.At(0, 0), f.At(320, 240), f.At(639, 479)})
        EXPECT_TRUE(Near(p, 0xFF0000FFu, 8)) << std::hex << p;
    blue.Close();
    EXPECT_EQ(blue.PictureSize(), (device::FrameSize{0, 0}));

    // Pixels twice as wide as high make a picture twice as wide to the eye.
    VideoSource wide(VideoSource::Kind::LiveDescription,
                     "videotestsrc is-live=true ! capsfilter caps=video/x-raw,width=160,height=120,pixel-aspect-ratio=2/1");
    ASSERT_TRUE(wide.Open(reason)) << reason;
    EXPECT_EQ(wide.PictureSize(), (device::FrameSize{320, 120}));
    wide.Close();
    // Claims past what the drawing widens by are held where the drawing holds them, so
    // aiming and drawing agree.
    for (const auto& [par, seen] : std::vector<std::pair<std::string, device::FrameSize>>{
             {"17/1", {2560, 120}}, {"1000/1", {2560, 120}}, {"1/17", {10, 120}}, {"1/1000", {10, 120}}}) {
        VideoSource claims(VideoSource::Kind::LiveDescription,
                           "videotestsrc is-live=true ! capsfilter caps=video/x-raw,width=160,height=120,pixel-aspect-ratio=" + par);
        ASSERT_TRUE(claims.Open(reason)) << par << ": " << reason;
        EXPECT_EQ(claims.PictureSize(), seen) << par;
    }

    // Snow differs in every picture: later calls show later pictures, whatever the time says.
    VideoSource snow(VideoSource::Kind::LiveDescription, "videotestsrc is-live=true pattern=snow");
    ASSERT_TRUE(snow.Open(reason)) << reason;
    Frame first = Render(snow, 0, 160, 120);
    bool moved = false;
    for (const auto end = Clock::now() + 20s; !moved && Clock::now() < end;) {
        std::this_thread::sleep_for(20ms);
        moved = Render(snow, 0, 160, 120).words != first.words;
    }
    EXPECT_TRUE(moved) << "the same picture for 20 s";

    // Pictures that arrive while nobody renders are not queued up to be shown one by one:
    // right after a pause the newest picture is shown, and a call straight after it has
    // nothing newer. (A picture may arrive between the two calls, so a few tries are allowed.)
    bool caughtUp = false;
    for (int attempt = 0; attempt < 5 && !caughtUp; ++attempt) {
        std::this_thread::sleep_for(200ms);
        Frame newest = Render(snow, 0, 160, 120);
        caughtUp = Render(snow, 0, 160, 120).words == newest.words;
    }
    EXPECT_TRUE(caughtUp);
}

TEST(VideoSource, LiveSourceThatFailsOrEndsMidwayStopsRendering)
{
    std::string reason;
    // Stands in for a webcam pulled out: an error on the bus after a few pictures.
    VideoSource unplugged(VideoSource::Kind::LiveDescription, "videotestsrc is-live=true ! identity error-after=6");
    ASSERT_TRUE(unplugged.Open(reason)) << reason;
    const std::string why = RenderUntilFailure(unplugged, 3s);
    EXPECT_FALSE(why.empty()) << "kept rendering after the error";
    Frame f(32, 32);
    reason.clear();
    EXPECT_FALSE(unplugged.Render(10'000'000, f.View(), reason));
    EXPECT_EQ(reason, why);

    VideoSource ending(VideoSource::Kind::LiveDescription, "videotestsrc is-live=true num-buffers=4");
    ASSERT_TRUE(ending.Open(reason)) << reason;
    EXPECT_EQ(RenderUntilFailure(ending, 3s), "the source stopped sending pictures");
}

TEST(VideoSource, LiveSourceThatGoesQuietFailsAfterTheStallTime)
{
    VideoTiming timing;
    timing.stall = 300ms;
    // One picture, then the next is half a minute away.
    VideoSource slow(VideoSource::Kind::LiveDescription,
                     "videotestsrc is-live=true ! capsfilter caps=video/x-raw,framerate=1/30", timing);
    std::string reason;
    ASSERT_TRUE(slow.Open(reason)) << reason;
    Frame f(32, 32);
    EXPECT_TRUE(slow.Render(0, f.View(), reason)) << reason;
    auto start = Clock::now();
    const std::string why = RenderUntilFailure(slow, 3s);
    EXPECT_EQ(why, "no new picture for 0.3 s");
    EXPECT_GE(Clock::now() - start, 250ms);
}

TEST(VideoSource, OpenGivesUpOnASourceWithoutPictures)
{
    VideoTiming timing;
    timing.open = 300ms;
    VideoSource silent(VideoSource::Kind::LiveDescription, "appsrc is-live=true", timing);
    std::string reason;
    // The reason names the time given, so the source waited that long and not the default.
    EXPECT_FALSE(silent.Open(reason));
    EXPECT_EQ(reason, "no picture within 0.3 s");

    VideoSource broken(VideoSource::Kind::LiveDescription, "videotestsrc ! no-such-element-here");
    EXPECT_FALSE(broken.Open(reason));
    EXPECT_NE(reason.find("cannot build"), std::string::npos) << reason;
}

} // namespace
