// Runs the GStreamer pipeline behind video and webcam cameras: a decoder feeding videoconvert and
// an appsink that Render pulls from, with the bus polled on the caller's thread, never watched.
#include "VideoSource.h"
#include "CameraElements.h"
#include "FrameAllocator.h"
#include "VideoPipeline.h"

#include "codec/ImageCodec.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

namespace gst {

bool EnsureGstreamer(std::string& reason)
{
    static std::once_flag once;
    static std::string failure;
    std::call_once(once, [] {
        GError* error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
            failure = std::string("GStreamer cannot start: ") + (error ? error->message : "unknown error");
            if (error) g_error_free(error);
            return;
        }
        // GStreamer's streaming threads come from GLib's shared pool, which ends idle threads
        // on a timer and ends any past a small count when a pipeline stops. A thread ending
        // while the sanitizers' leak check has the process stopped can bring the check down,
        // so pooled threads are kept, parked, for the rest of the process: a stopped pipeline
        // leaves its threads for the next one, and the count stays at the most ever in use.
        g_thread_pool_set_max_unused_threads(-1);
        g_thread_pool_set_max_idle_time(0);
    });
    if (!failure.empty()) {
        reason = failure;
        return false;
    }
    return true;
}

namespace {

std::string Seconds(std::chrono::milliseconds ms)
{
    const long long tenths = (ms.count() + 50) / 100;
    return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "") + " s";
}

GstElement* Make(const char* factory, std::string& reason)
{
    GstElement* element = gst_element_factory_make(factory, nullptr);
    if (element == nullptr) reason = std::string("the GStreamer element ") + factory + " is not installed";
    return element;
}

} // namespace

GstElement* MakeLibcameraSource(const std::string& cameraName, std::string& reason)
{
    GstElement* source = gst_element_factory_make("libcamerasrc", nullptr);
    if (source == nullptr) {
        reason = "libcamera's GStreamer element (libcamerasrc) is not installed";
        return nullptr;
    }
    if (!cameraName.empty()) g_object_set(source, "camera-name", cameraName.c_str(), nullptr);
    return source;
}

VideoSource::VideoSource(Kind kind, std::string location, VideoTiming timing)
    : m_kind(kind), m_location(std::move(location)), m_timing(timing)
{}

VideoSource::~VideoSource() { Close(); }

std::string VideoSource::Describe() const
{
    switch (m_kind) {
    case Kind::File: {
        const std::size_t slash = m_location.find_last_of('/');
        return "video " + (slash == std::string::npos ? m_location : m_location.substr(slash + 1));
    }
    case Kind::Webcam: return "webcam " + m_location;
    case Kind::Libcamera:
        return m_location.empty() ? std::string("libcamera's first camera") : "libcamera camera " + m_location;
    case Kind::LiveDescription: break;
    }
    return "live source " + m_location;
}

void VideoSource::SetAim(const device::Aim& aim) { m_aim = aim; }

void VideoSource::Close()
{
    m_pPipeline.reset();
    m_failure.clear();
}

bool VideoSource::Fail(std::string why, std::string& reason)
{
    // Stop the pipeline at once so a failed webcam is released; Render keeps reporting why.
    m_pPipeline.reset();
    m_failure = std::move(why);
    reason = m_failure;
    return false;
}

bool VideoSource::Open(std::string& reason)
{
    Close();
    if (!EnsureGstreamer(reason)) return false;

    // Paths are checked here, not left to GStreamer, for a plain reason; they are passed to
    // elements as properties, never spliced into a pipeline description.
    struct stat st {};
    if (m_kind == Kind::File) {
        if (m_location.empty() || ::stat(m_location.c_str(), &st) != 0) {
            reason = errno == ENOENT || m_location.empty()
                         ? "file not found"
                         : std::string("cannot read the file: ") + std::strerror(errno);
            return false;
        }
        if (S_ISDIR(st.st_mode)) {
            reason = "a folder, not a video file";
            return false;
        }
        // A FIFO or a device under a file's name would hold the decoder forever.
        if (!S_ISREG(st.st_mode)) {
            reason = "not a regular file";
            return false;
        }
    } else if (m_kind == Kind::Webcam) {
        if (m_location.empty() || ::stat(m_location.c_str(), &st) != 0) {
            reason = "no such device";
            return false;
        }
        if (!S_ISCHR(st.st_mode)) {
            reason = "not a video device";
            return false;
        }
    }

    auto p = std::make_unique<Pipeline>();
    p->live = m_kind != Kind::File;
    p->pipeline = gst_pipeline_new("camera");
    GstElement* source = nullptr;
    GstElement* decoder = nullptr;
    if (m_kind == Kind::File) {
        decoder = Make("uridecodebin", reason);
        if (decoder == nullptr) return false;
        gst_bin_add(GST_BIN(p->pipeline), decoder);
        GError* error = nullptr;
        gchar* uri = gst_filename_to_uri(m_location.c_str(), &error);
        if (uri == nullptr) {
            reason = "cannot name the file for GStreamer: " + OneLine(error ? error->message : "");
            if (error) g_error_free(error);
            return false;
        }
        g_object_set(decoder, "uri", uri, nullptr);
        g_free(uri);
    } else {
        if (m_kind == Kind::Webcam) {
            source = Make("v4l2src", reason);
            if (source != nullptr) g_object_set(source, "device", m_location.c_str(), nullptr);
        } else if (m_kind == Kind::Libcamera) {
            source = MakeLibcameraSource(m_location, reason);
        } else {
            GError* error = nullptr;
            source = gst_parse_bin_from_description(m_location.c_str(), TRUE, &error);
            if (error != nullptr) {
                reason = "cannot build the source: " + OneLine(error->message);
                g_error_free(error);
                if (source != nullptr) gst_object_unref(gst_object_ref_sink(source));
                return false;
            }
        }
        if (source == nullptr) return false;
        gst_bin_add(GST_BIN(p->pipeline), source);
        decoder = Make("decodebin", reason);
        if (decoder == nullptr) return false;
        gst_bin_add(GST_BIN(p->pipeline), decoder);
    }

    p->convert = Make("videoconvert", reason);
    if (p->convert == nullptr) return false;
    gst_bin_add(GST_BIN(p->pipeline), p->convert);
    p->sink = Make("appsink", reason);
    if (p->sink == nullptr) return false;
    gst_bin_add(GST_BIN(p->pipeline), p->sink);

    // BGRx in memory is the x8r8g8b8 word pixman draws from on a little-endian machine.
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr);
    // A file is pulled one frame per preview frame, so its decoder waits on a short queue;
    // a live source keeps only its newest picture.
    g_object_set(p->sink, "caps", caps, "sync", FALSE, "max-buffers", guint(p->live ? 1 : 3), "drop", gboolean(p->live),
                 "enable-last-sample", FALSE, nullptr);
    gst_caps_unref(caps);

    if ((source != nullptr && !gst_element_link(source, decoder)) || !gst_element_link(p->convert, p->sink)) {
        reason = "cannot connect the GStreamer elements";
        return false;
    }
    g_signal_connect(p->pipeline, "deep-element-added", G_CALLBACK(&Pipeline::OnElementAdded), p.get());
    // Frames, decoded and converted, take their memory where running out is no abort.
    p->frames = NewFrameAllocator();
    if (GstPad* convertSink = gst_element_get_static_pad(p->convert, "sink")) {
        Pipeline::Watch(convertSink, p.get());
        OfferFrameAllocator(convertSink, p->frames);
        gst_object_unref(convertSink);
    }
    if (GstPad* sinkPad = gst_element_get_static_pad(p->sink, "sink")) {
        OfferFrameAllocator(sinkPad, p->frames);
        gst_object_unref(sinkPad);
    }
    g_signal_connect(decoder, "pad-added", G_CALLBACK(&Pipeline::OnPadAdded), p.get());
    g_signal_connect(decoder, "no-more-pads", G_CALLBACK(&Pipeline::OnNoMorePads), p.get());
    p->bus = gst_element_get_bus(p->pipeline);

    const Clock::time_point deadline = Clock::now() + m_timing.open;
    if (gst_element_set_state(p->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        if (!p->Stopped(reason)) reason = "GStreamer cannot start the pipeline";
        return false;
    }
    for (;;) {
        // Checked first: a stream left unlinked also stops the pipeline with a vaguer error.
        if (p->HasNoVideo()) {
            reason = m_kind == Kind::File ? "the file has no video" : "the source gives no video";
            return false;
        }
        if (p->Stopped(reason)) return false;
        if (m_kind == Kind::File && p->DemuxerGaveUp(reason)) {
            p->Stopped(reason); // the demuxer's own words, where they came through
            return false;
        }
        if (GstSample* sample = gst_app_sink_try_pull_sample(p->AppSink(), 20 * GST_MSECOND)) {
            if (!p->Show(sample, reason)) return false;
            p->firstFramePending = true;
            p->lastNewFrame = Clock::now();
            break;
        }
        if (gst_app_sink_is_eos(p->AppSink())) {
            // Frames refused on the way end the stream too; that is the better reason.
            if (!p->Stopped(reason))
                reason =
                    m_kind == Kind::File ? "the video has no frames" : "the source stopped before its first picture";
            return false;
        }
        if (Clock::now() >= deadline) {
            reason = "no picture within " + Seconds(m_timing.open);
            return false;
        }
    }
    m_pPipeline = std::move(p);
    return true;
}

bool VideoSource::Render(std::int64_t timeUs, const device::PixelView& out, std::string& reason)
{
    if (!picture::CheckFrame(out, reason)) return false;
    if (!m_failure.empty()) {
        reason = m_failure;
        return false;
    }
    if (!m_pPipeline) {
        reason = m_kind == Kind::File ? "the video is not open" : "the camera is not open";
        return false;
    }
    Pipeline& p = *m_pPipeline;
    std::string why;
    if (p.Stopped(why)) return Fail(why, reason);

    if (p.live) {
        if (GstSample* sample = gst_app_sink_try_pull_sample(p.AppSink(), 0)) {
            if (!p.Show(sample, why)) return Fail(why, reason);
            p.lastNewFrame = Clock::now();
        } else if (gst_app_sink_is_eos(p.AppSink())) {
            return Fail(p.Stopped(why) ? why : "the source stopped sending pictures", reason);
        } else if (Clock::now() - p.lastNewFrame > m_timing.stall) {
            return Fail("no new picture for " + Seconds(m_timing.stall), reason);
        }
    } else if (!p.paused && (!p.shownAny || timeUs != p.lastTimeUs)) {
        // Paused, the frame in hand stays, even one shown by number before anything was drawn.
        if (p.firstFramePending) {
            p.firstFramePending = false;
        } else {
            const GstClockTime wait = GstClockTime(m_timing.nextFrame.count()) * GST_MSECOND;
            bool ended = false;
            if (!p.PullNext(wait, ended, why) && !why.empty()) return Fail(why, reason);
            if (ended) {
                if (!p.SeekTo(0, false, 0)) return Fail("the video cannot be rewound to play it again", reason);
                if (!p.PullNext(wait, ended, why) && !why.empty()) return Fail(why, reason);
                if (ended) return Fail(p.Stopped(why) ? why : "the video has no frames", reason);
            }
        }
    }
    p.shownAny = true;
    p.lastTimeUs = timeUs;
    if (out.width <= 0 || out.height <= 0) return true;

    if (!p.drawer.Draw(out, m_aim, why)) return Fail(why, reason);
    return true;
}

bool VideoSource::SeePicture(std::int64_t, const std::function<void(const device::PixelView&)>& look)
{
    const device::FrameSize size = PictureSize();
    if (size.width <= 0 || size.height <= 0 || !m_failure.empty()) return false;
    // Drawn unaimed at the size it is seen: one to one, or widened where its pixels are wide.
    std::vector<std::uint32_t> pixels(std::size_t(size.width) * std::size_t(size.height));
    const device::PixelView view{pixels.data(), size.width, size.height, size.width * 4};
    std::string why;
    if (!m_pPipeline->drawer.Draw(view, device::Aim{}, why)) return false;
    look(view);
    return true;
}

device::FrameSize VideoSource::PictureSize() const
{
    return m_pPipeline && m_pPipeline->mapped ? m_pPipeline->seen : device::FrameSize{};
}

} // namespace gst
