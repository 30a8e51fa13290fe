// The GStreamer pipeline behind a video source: its elements, the state GStreamer's streaming
// threads share with it, and the picture shown last. Only the gst backend sees this header.
#pragma once

#include "FrameClock.h"
#include "VideoSource.h"

#include "picture/CoverDraw.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace gst {

using Clock = std::chrono::steady_clock;

// GStreamer's text on one line, for a reason.
std::string OneLine(std::string text);

struct VideoSource::Pipeline {
    GstElement* pipeline = nullptr;
    GstElement* convert = nullptr;
    GstElement* sink = nullptr;
    GstBus* bus = nullptr;
    GstAllocator* frames = nullptr;
    bool live = false;

    // The only state GStreamer's streaming threads touch: what the decoder found, and why
    // its pictures were refused.
    std::mutex mutex;
    bool videoLinked = false;
    bool allPadsFound = false;
    std::string refused;
    // The demuxers the decoder has taken on, held, so that one giving up is seen.
    std::vector<GstElement*> demuxers;

    // Everything below belongs to the thread that opens and renders. The picture shown last
    // stays mapped for redrawing; the appsink's sample itself is handed back at once, since
    // appsink reuses it and complains when it is still held at a change of caps.
    GstVideoFrame frame{};
    bool mapped = false;
    picture::CoverDrawer drawer;
    device::FrameSize seen;
    bool firstFramePending = false;
    bool shownAny = false;
    std::int64_t lastTimeUs = 0;
    Clock::time_point lastNewFrame;
    // A file's frames: how each is timed, the one on show, and whether it stays on show.
    FrameClock clock;
    device::FrameTime shown;
    bool paused = false;

    Pipeline() = default;
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    ~Pipeline();

    // Makes `sample` the picture to draw, a file's next frame in playing order; takes the sample.
    bool Show(GstSample* sample, std::string& why);

    // A file's next frame: shown (true), or none, with `ended` telling the end of the file from
    // a frame late beyond `wait` and `why` a failure.
    bool PullNext(GstClockTime wait, bool& ended, std::string& why);
    // Flushes the file and starts it again at `position` (its own time, in ns), with every frame
    // before it dropped on the way when `accurate`; the next frame pulled is frame `index`.
    bool SeekTo(GstClockTime position, bool accurate, std::int64_t index);

    GstAppSink* AppSink() const { return GST_APP_SINK(sink); }

    // Takes pending error (and, for live sources, end-of-stream) messages off the bus; other
    // messages are dropped so the bus does not grow while nobody watches it.
    bool Failed(std::string& why);

    // The decoders announce streams from their own threads; only the first video stream is
    // linked, so sound and further video tracks stay unconnected and are dropped.
    static void OnPadAdded(GstElement*, GstPad* pad, gpointer data);

    // Every frame size is weighed before a frame of that size exists: at a video decoder's
    // input, from the size its stream's caps announce or, for JPEG frames (each of which
    // carries its own), from each frame's header; and again before the converter, whose
    // output the sink would queue and which crashes outright on frames past 2 GB. A size
    // over a picture's bounds stops the stream there: nothing more passes either point.
    static void OnElementAdded(GstBin*, GstBin*, GstElement* element, gpointer data);

    static void Watch(GstPad* pad, gpointer self);

    static GstPadProbeReturn OnStreamData(GstPad* pad, GstPadProbeInfo* info, gpointer data);

    bool IsRefused();

    // Whether the pipeline has stopped: its pictures refused (told first, since a refusal
    // may also end the stream or stop it with a vaguer error) or an error on the bus.
    bool Stopped(std::string& why);

    static void OnNoMorePads(GstElement*, gpointer data);

    bool HasNoVideo();

    // Whether a demuxer stopped reading before it found a single stream. Its error says so
    // only by chance: decodebin drops the errors of an element it is still starting, and a
    // short broken file fails while it is. Nothing would come of the file then.
    bool DemuxerGaveUp(std::string& why);
};

} // namespace gst
