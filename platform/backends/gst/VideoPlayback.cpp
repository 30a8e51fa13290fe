// A video file paused, stepped a frame either way and shown at a frame: seeks by the frames'
// times while the stamps can be trusted, and by counting frames from the start once not.
#include "VideoPipeline.h"
#include "VideoSource.h"

#include <algorithm>

namespace gst {

namespace {

// How many frames a step back or `frame N` may decode past a seek's landing before it gives up.
constexpr int kMaxSkipped = 100000;

} // namespace

bool VideoSource::Pipeline::PullNext(GstClockTime wait, bool& ended, std::string& why)
{
    ended = false;
    why.clear();
    if (GstSample* sample = gst_app_sink_try_pull_sample(AppSink(), wait)) return Show(sample, why);
    ended = gst_app_sink_is_eos(AppSink());
    if (!ended) Stopped(why);
    return false;
}

bool VideoSource::Pipeline::SeekTo(GstClockTime position, bool accurate, std::int64_t index)
{
    const auto flags = GstSeekFlags(
        GST_SEEK_FLAG_FLUSH | (accurate ? GST_SEEK_FLAG_ACCURATE : GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_BEFORE));
    if (!gst_element_seek_simple(pipeline, GST_FORMAT_TIME, flags, gint64(position))) return false;
    clock.Restart(index);
    firstFramePending = false;
    return true;
}

std::optional<device::FrameTime> VideoSource::ShownFrame() const
{
    if (!m_pPipeline || m_pPipeline->live || !m_pPipeline->mapped) return std::nullopt;
    return m_pPipeline->shown;
}

bool VideoSource::Paused() const { return m_pPipeline && m_pPipeline->paused; }

bool VideoSource::Play(device::Playback what, std::string& reason)
{
    if (m_kind != Kind::File) {
        reason = device::OnlyAVideo(what);
        return false;
    }
    if (!m_pPipeline) {
        reason = m_failure.empty() ? "the video is not open" : m_failure;
        return false;
    }
    Pipeline& p = *m_pPipeline;
    switch (what) {
    case device::Playback::Pause: p.paused = true; return true;
    case device::Playback::Play: p.paused = false; return true;
    case device::Playback::Toggle: p.paused = !p.paused; return true;
    case device::Playback::Back:
        if (p.shown.index == 0) {
            p.paused = true;
            reason = "the video's first frame is on show";
            return false;
        }
        return ShowFrame(p.shown.index - 1, reason);
    case device::Playback::Forward: break;
    }
    p.paused = true;
    // The frame on show stays drawn until the next one is in hand.
    p.firstFramePending = false;
    bool ended = false;
    std::string why;
    if (p.PullNext(GstClockTime(m_timing.nextFrame.count()) * GST_MSECOND, ended, why)) return true;
    if (!why.empty()) return Fail(why, reason);
    reason = ended ? "the video's last frame is on show"
                   : "the next frame did not come within " + std::to_string(m_timing.nextFrame.count()) + " ms";
    return false;
}

bool VideoSource::ShowFrame(std::int64_t index, std::string& reason)
{
    if (m_kind != Kind::File) {
        reason = "only a video has frames to show";
        return false;
    }
    if (!m_pPipeline) {
        reason = m_failure.empty() ? "the video is not open" : m_failure;
        return false;
    }
    if (index < 0) {
        reason = "frame numbers start at 0";
        return false;
    }
    Pipeline& p = *m_pPipeline;
    p.paused = true;
    const std::int64_t before = p.shown.index;
    std::int64_t frames = -1;
    if (Go(index, frames, reason)) return true;
    if (frames >= 0) {
        reason = "frame " + std::to_string(index) + " is past the video's end" +
                 (frames > 0 ? " (its frames are 0 to " + std::to_string(frames - 1) + ")" : std::string());
        // Back to the frame that was on show, as if nothing had been asked.
        std::string why;
        std::int64_t unused = -1;
        if (m_pPipeline && !Go(before, unused, why)) return Fail(why.empty() ? reason : why, reason);
    }
    return false;
}

bool VideoSource::Go(std::int64_t index, std::int64_t& frames, std::string& reason)
{
    Pipeline& p = *m_pPipeline;
    FrameClock& clock = p.clock;
    // The file says how long it is; the frames in it, by the rate, are counted from frame 0's time.
    // Where the stamps lied the length is no count of frames: they are counted as they come.
    gint64 duration = 0;
    if (clock.Trusted() && gst_element_query_duration(p.pipeline, GST_FORMAT_TIME, &duration) && duration > 0) {
        const std::int64_t us = duration / 1000 - clock.StartUs();
        const std::int64_t count = (us + clock.FrameUs() / 2) / clock.FrameUs();
        if (count > 0 && index >= count) {
            frames = count;
            return false;
        }
    }
    // Honest stamps: to the key frame at or before the middle of the frame asked for, and on
    // from there by the frames' own times. (An accurate seek would do the last part itself,
    // but the frame it lands on comes with its time cut to where the seek asked.) Once the
    // stamps lied, from the start, counting.
    const bool byTime = clock.Trusted();
    const std::int64_t landing = byTime ? clock.TimeOf(index) + clock.FrameUs() / 2 : 0;
    if (!p.SeekTo(GstClockTime(std::max<std::int64_t>(landing, 0)) * 1000, false, byTime ? index : 0)) {
        return Fail("the video cannot be sought to frame " + std::to_string(index), reason);
    }
    const GstClockTime wait = GstClockTime(m_timing.nextFrame.count()) * GST_MSECOND;
    for (int pulled = 0; pulled <= kMaxSkipped; ++pulled) {
        bool ended = false;
        std::string why;
        if (!p.PullNext(wait, ended, why)) {
            if (!why.empty()) return Fail(why, reason);
            if (ended) {
                // Counted from the start, the frames are known; by time, only that there is none.
                frames = byTime || pulled == 0 ? 0 : p.shown.index + 1;
                return false;
            }
            reason = "frame " + std::to_string(index) + " did not come within " +
                     std::to_string(m_timing.nextFrame.count()) + " ms";
            return false;
        }
        // Stamps found lying on the way: the frame is found again by counting.
        if (byTime && !clock.Trusted()) return Go(index, frames, reason);
        if (byTime) {
            // A demuxer that lands on a key frame before the one asked for passes the ones
            // between; each is taken for frame `index` until the one whose time it is.
            if (p.shown.timeUs + clock.FrameUs() / 2 >= clock.TimeOf(index)) return true;
            clock.Restart(index);
        } else if (p.shown.index >= index) {
            return true;
        }
    }
    reason = "frame " + std::to_string(index) + " is too far from a frame the video can seek to";
    return false;
}

} // namespace gst
