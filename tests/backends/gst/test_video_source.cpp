// Checks the GStreamer camera with videos made here by GStreamer itself: a file shows one frame per
// preview frame and loops, is aimed like a photo, and bad files and streams fail plainly.
#include "backends/CountingVideo.h"

#include <sys/mman.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace counting_video;

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
    if (HasFatalFailure()) return;

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
    if (HasFatalFailure()) return;
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
    if (HasFatalFailure()) return;
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
    ASSERT_EQ(Launch("avimux name=mux ! filesink location=\"" + path +
                     "\" "
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
        for (int i = 0; i < 4096; ++i) garbage.put(char((i * 7919 + 13) % 251));
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

// A short file with an AVI's header and nothing readable after it: its demuxer fails at once,
// often while decodebin is still starting it, which drops the demuxer's error. The open must
// still fail by what the file is, never by waiting out the open timeout.
TEST(VideoSource, ABrokenVideoFailsAtOnceEveryTime)
{
    InitGstreamer();
    ScratchDir dir("video-test");
    std::vector<std::string> files;
    for (unsigned k = 1; k <= 4; ++k) {
        files.push_back(dir.File("v00" + std::to_string(k) + ".avi"));
        std::ofstream out(files.back(), std::ios::binary);
        const char header[] = {'R', 'I', 'F', 'F', 0, 0x10, 0, 0, 'A', 'V', 'I', ' ', 'L', 'I', 'S', 'T'};
        out.write(header, sizeof header);
        std::uint32_t x = 2463534242u * k;
        for (int i = 0; i < 4096; ++i) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            out.put(char(x & 0xFF));
        }
    }
    // Long enough that a lost error shows as the timeout even on a slow machine.
    VideoTiming timing;
    timing.open = std::chrono::milliseconds(8000);
    for (int round = 0; round < 5; ++round) {
        for (const std::string& file : files) {
            VideoSource source(VideoSource::Kind::File, file, timing);
            std::string reason;
            EXPECT_FALSE(source.Open(reason));
            EXPECT_EQ(reason.rfind("no picture within", 0), std::string::npos) << file << " (round " << round << ")";
            EXPECT_FALSE(reason.empty());
        }
    }
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
    // GStreamer's own start (its plugins and their registry) is paid first, by a small video
    // shown once: what is weighed after it is the lying videos' alone.
    {
        const std::string warm = dir.File("warm.avi");
        ASSERT_EQ(testing_support::WriteLyingVideo(warm, 16, 16), "");
        VideoSource small(VideoSource::Kind::File, warm);
        std::string reason;
        ASSERT_TRUE(small.Open(reason)) << reason;
        Render(small, 0, 64, 48);
    }
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
        if (!growing.Render(k * kFrameUs, f.View(), reason)) why = reason;
    EXPECT_EQ(why, refusal(23200, 23200));
}

// How much address space the process has mapped, from /proc; 0 when unknown.
std::uint64_t MappedBytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
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

} // namespace
