// Pausing, stepping and showing a frame of a video made here by GStreamer, played through the
// real source: which frame is drawn, and the time each frame carries; and how frames are timed
// when a video's own stamps lie.
#include "backends/CountingVideo.h"
#include "backends/gst/FrameClock.h"

namespace {

using namespace counting_video;
using device::FrameTime;
using device::Playback;

// Frame i's stamp as the counting video was written: i fifteenths of a second, in whole µs.
std::int64_t StampUs(int i) { return std::int64_t(gst_util_uint64_scale(i, GST_SECOND, 15) / 1000); }

class VideoPlayback : public testing::Test {
protected:
    void SetUp() override
    {
        WriteCountingVideo(m_path);
        if (HasFatalFailure()) return;
        std::string reason;
        ASSERT_TRUE(m_source.Open(reason)) << reason;
    }
    // The frame drawn and the frame the source says it shows, which must agree.
    int Shown(std::int64_t timeUs)
    {
        const int drawn = FrameNumber(Render(m_source, timeUs));
        const auto frame = m_source.ShownFrame();
        EXPECT_TRUE(frame.has_value());
        EXPECT_EQ(frame ? frame->index : -1, drawn);
        return drawn;
    }
    ScratchDir m_dir{"video-playback"};
    std::string m_path = m_dir.File("count.avi");
    VideoSource m_source{VideoSource::Kind::File, m_path};
    std::string m_reason;
};

TEST_F(VideoPlayback, PauseHoldsTheFrameAndStepsMoveExactlyOneFrameWithItsStamp)
{
    EXPECT_EQ(Shown(0), 0);
    EXPECT_EQ(Shown(kFrameUs), 1);
    ASSERT_TRUE(m_source.Play(Playback::Pause, m_reason)) << m_reason;
    EXPECT_TRUE(m_source.Paused());
    // Time goes on; the picture does not.
    for (int k = 2; k < 6; k++) EXPECT_EQ(Shown(k * kFrameUs), 1);
    EXPECT_EQ(*m_source.ShownFrame(), (FrameTime{1, StampUs(1), true}));

    ASSERT_TRUE(m_source.Play(Playback::Forward, m_reason)) << m_reason;
    EXPECT_EQ(*m_source.ShownFrame(), (FrameTime{2, StampUs(2), true}));
    EXPECT_EQ(Shown(7 * kFrameUs), 2);
    ASSERT_TRUE(m_source.Play(Playback::Back, m_reason)) << m_reason;
    EXPECT_EQ(*m_source.ShownFrame(), (FrameTime{1, StampUs(1), true}));
    EXPECT_EQ(Shown(8 * kFrameUs), 1);
    ASSERT_TRUE(m_source.Play(Playback::Back, m_reason)) << m_reason;
    EXPECT_EQ(Shown(9 * kFrameUs), 0);
    // Nothing before the first frame: told, and it stays.
    EXPECT_FALSE(m_source.Play(Playback::Back, m_reason));
    EXPECT_EQ(m_reason, "the video's first frame is on show");
    EXPECT_EQ(Shown(10 * kFrameUs), 0);

    // Played again, it goes on from the frame on show, a frame per preview frame.
    ASSERT_TRUE(m_source.Play(Playback::Toggle, m_reason));
    EXPECT_FALSE(m_source.Paused());
    EXPECT_EQ(Shown(11 * kFrameUs), 1);
    EXPECT_EQ(Shown(12 * kFrameUs), 2);
    // A step while it plays pauses it first.
    ASSERT_TRUE(m_source.Play(Playback::Forward, m_reason)) << m_reason;
    EXPECT_TRUE(m_source.Paused());
    EXPECT_EQ(Shown(13 * kFrameUs), 3);
    EXPECT_EQ(Shown(14 * kFrameUs), 3);
}

TEST_F(VideoPlayback, AFrameByNumberIsTheOneWhoseStampIsItsNumberOverTheRate)
{
    EXPECT_EQ(Shown(0), 0);
    for (const int n : {7, 3, 11, 0, 5}) {
        ASSERT_TRUE(m_source.ShowFrame(n, m_reason)) << n << ": " << m_reason;
        EXPECT_EQ(*m_source.ShownFrame(), (FrameTime{n, StampUs(n), true})) << n;
        EXPECT_EQ(Shown((20 + n) * kFrameUs), n);
    }
    // Past the end, or before the start: told, and the frame on show stays.
    EXPECT_FALSE(m_source.ShowFrame(kFrames, m_reason));
    EXPECT_EQ(m_reason, "frame 12 is past the video's end (its frames are 0 to 11)");
    EXPECT_EQ(Shown(40 * kFrameUs), 5);
    EXPECT_FALSE(m_source.ShowFrame(-1, m_reason));
    EXPECT_EQ(Shown(41 * kFrameUs), 5);
    // A step past the last frame says so and keeps it.
    ASSERT_TRUE(m_source.ShowFrame(kFrames - 1, m_reason)) << m_reason;
    EXPECT_FALSE(m_source.Play(Playback::Forward, m_reason));
    EXPECT_EQ(m_reason, "the video's last frame is on show");
    EXPECT_EQ(Shown(42 * kFrameUs), kFrames - 1);
    // Stepped back from there, and played on over the end, it loops as it always did.
    ASSERT_TRUE(m_source.Play(Playback::Back, m_reason)) << m_reason;
    EXPECT_EQ(Shown(43 * kFrameUs), kFrames - 2);
    ASSERT_TRUE(m_source.Play(Playback::Play, m_reason));
    EXPECT_EQ(Shown(44 * kFrameUs), kFrames - 1);
    EXPECT_EQ(Shown(45 * kFrameUs), 0);
    EXPECT_EQ(*m_source.ShownFrame(), (FrameTime{0, StampUs(0), true}));
}

// A script's first line may show a frame, or pause, before the preview has drawn anything:
// the frame asked for is the one drawn, however long it then stays paused.
TEST_F(VideoPlayback, AFrameShownBeforeTheFirstDrawingStaysOnShow)
{
    ASSERT_TRUE(m_source.ShowFrame(5, m_reason)) << m_reason;
    for (int k = 0; k < 4; k++) EXPECT_EQ(Shown(k * kFrameUs), 5) << k;
    EXPECT_EQ(*m_source.ShownFrame(), (FrameTime{5, StampUs(5), true}));
    ASSERT_TRUE(m_source.Play(Playback::Play, m_reason));
    EXPECT_EQ(Shown(4 * kFrameUs), 6);

    VideoSource paused{VideoSource::Kind::File, m_path};
    ASSERT_TRUE(paused.Open(m_reason)) << m_reason;
    ASSERT_TRUE(paused.Play(Playback::Pause, m_reason));
    for (int k = 0; k < 3; k++) EXPECT_EQ(FrameNumber(Render(paused, k * kFrameUs)), 0) << k;
    ASSERT_TRUE(paused.Play(Playback::Forward, m_reason)) << m_reason;
    EXPECT_EQ(FrameNumber(Render(paused, 3 * kFrameUs)), 1);
}

// A Matroska file of the counting video's frames whose stamps (in ms) are as given: the
// muxer keeps a stamp that repeats one before it.
void WriteStampedVideo(const std::string& path, const std::vector<int>& stampsMs)
{
    std::vector<GstClockTime> stamps;
    for (int ms : stampsMs) {
        stamps.push_back(GstClockTime(ms) * GST_MSECOND);
    }
    WriteCountingFrames(path, "matroskamux", stamps, 66 * GST_MSECOND);
}

TEST(VideoPlaybackLying, AVideoWhoseStampsRepeatIsTimedByItsFramesFromThere)
{
    ScratchDir dir("video-lying");
    const std::string path = dir.File("lying.mkv");
    WriteStampedVideo(path, {0, 66, 66, 133, 100, 200, 266});
    if (testing::Test::HasFatalFailure()) return;
    VideoSource source(VideoSource::Kind::File, path);
    std::string reason;
    ASSERT_TRUE(source.Open(reason)) << reason;
    // Frames 0 and 1 keep their stamps; frame 2 repeats 66 ms, and from it on each frame is
    // its number over the rate (15 a second): the series runs forward, never twice at 66 ms.
    std::vector<FrameTime> seen;
    for (int k = 0; k < 7; k++) {
        ASSERT_EQ(FrameNumber(Render(source, k * kFrameUs)), k);
        seen.push_back(*source.ShownFrame());
    }
    EXPECT_EQ(seen[0], (FrameTime{0, 0, true}));
    EXPECT_EQ(seen[1], (FrameTime{1, 66'000, true}));
    for (int k = 2; k < 7; k++) EXPECT_EQ(seen[k], (FrameTime{k, k * 66'666, false})) << k;
    // Frames by number are counted from the start, not sought by the stamps.
    ASSERT_TRUE(source.ShowFrame(4, reason)) << reason;
    EXPECT_EQ(FrameNumber(Render(source, 10 * kFrameUs)), 4);
    EXPECT_EQ(*source.ShownFrame(), (FrameTime{4, 4 * 66'666, false}));
    ASSERT_TRUE(source.Play(Playback::Back, reason)) << reason;
    EXPECT_EQ(FrameNumber(Render(source, 11 * kFrameUs)), 3);
    ASSERT_TRUE(source.ShowFrame(6, reason)) << reason;
    EXPECT_EQ(FrameNumber(Render(source, 12 * kFrameUs)), 6);
    EXPECT_FALSE(source.ShowFrame(7, reason));
    EXPECT_EQ(reason, "frame 7 is past the video's end (its frames are 0 to 6)");
    EXPECT_EQ(FrameNumber(Render(source, 13 * kFrameUs)), 6);
}

TEST(VideoPlaybackLive, OnlyAVideoFileCanPauseOrShowAFrame)
{
    VideoSource live(VideoSource::Kind::LiveDescription, "videotestsrc is-live=true");
    std::string reason;
    EXPECT_FALSE(live.Play(Playback::Toggle, reason));
    EXPECT_EQ(reason, "only a video can pause");
    EXPECT_FALSE(live.Play(Playback::Back, reason));
    EXPECT_EQ(reason, "only a video can step a frame");
    EXPECT_FALSE(live.ShowFrame(0, reason));
    EXPECT_FALSE(live.ShownFrame().has_value());
}

TEST(FrameClock, TrustsStampsOnlyWhileTheyRunForward)
{
    gst::FrameClock clock;
    clock.SetFrameUs(40'000);
    EXPECT_EQ(clock.Next(1'000), (FrameTime{0, 1'000, true}));
    EXPECT_EQ(clock.Next(41'000), (FrameTime{1, 41'000, true}));
    // A rewind or a seek may land anywhere: the next stamp is taken as it comes.
    clock.Restart(0);
    EXPECT_EQ(clock.Next(1'000), (FrameTime{0, 1'000, true}));
    EXPECT_EQ(clock.Next(41'000), (FrameTime{1, 41'000, true}));
    EXPECT_TRUE(clock.Trusted());

    // A stamp that repeats: from that frame on, every frame is its number over the rate.
    EXPECT_EQ(clock.Next(41'000), (FrameTime{2, 80'000, false}));
    EXPECT_EQ(clock.Distrust(), "frame 2's stamp repeats the one before");
    EXPECT_EQ(clock.Next(121'000), (FrameTime{3, 120'000, false}));
    clock.Restart(0);
    EXPECT_EQ(clock.Next(1'000), (FrameTime{0, 0, false}));

    gst::FrameClock back;
    back.SetFrameUs(40'000);
    back.Next(0);
    back.Next(40'000);
    EXPECT_EQ(back.Next(20'000), (FrameTime{2, 80'000, false}));
    EXPECT_EQ(back.Distrust(), "frame 2's stamp goes back");

    // No stamp at all, nor a rate: a thirtieth of a second a frame.
    gst::FrameClock none;
    EXPECT_EQ(none.Next(std::nullopt), (FrameTime{0, 0, false}));
    EXPECT_EQ(none.Next(std::nullopt), (FrameTime{1, 33'333, false}));
    EXPECT_EQ(none.Distrust(), "frame 0 has no stamp");
}

} // namespace
