// The pipeline's own work: showing a sample, reading the bus, and the callbacks by which
// GStreamer's streaming threads link the video stream and weigh every frame size.
#include "VideoPipeline.h"
#include "FrameAllocator.h"

#include "codec/ImageCodec.h"

#include <algorithm>
#include <cstring>

namespace gst {

namespace {

std::string FramesTooLarge(int width, int height)
{
    return "video frames too large (" + std::to_string(width) + "x" + std::to_string(height) +
           "; a picture may be at most " + std::to_string(codec::kMaxSide) + " pixels a side and " +
           std::to_string(codec::kMaxPixels >> 20) + " Mi pixels)";
}

bool IsVideoPad(GstPad* pad)
{
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (caps == nullptr) caps = gst_pad_query_caps(pad, nullptr);
    bool video = false;
    if (caps != nullptr) {
        if (gst_caps_get_size(caps) > 0)
            video = g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
        gst_caps_unref(caps);
    }
    return video;
}

} // namespace

std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text.empty() ? std::string("unknown GStreamer error") : text;
}

VideoSource::Pipeline::~Pipeline()
{
    // Stopping joins the streaming threads, so none can reach this object afterwards.
    if (pipeline) gst_element_set_state(pipeline, GST_STATE_NULL);
    if (mapped) gst_video_frame_unmap(&frame);
    for (GstElement* demuxer : demuxers) gst_object_unref(demuxer);
    if (bus) gst_object_unref(bus);
    if (frames) gst_object_unref(frames);
    if (pipeline) gst_object_unref(pipeline);
}

bool VideoSource::Pipeline::Show(GstSample* sample, std::string& why)
{
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    bool ok = caps != nullptr && buffer != nullptr && gst_video_info_from_caps(&info, caps) &&
              GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGRx;
    if (!ok) {
        why = "GStreamer delivered a picture in an unexpected format";
    } else {
        if (mapped) gst_video_frame_unmap(&frame);
        // The mapping holds its own reference to the buffer.
        mapped = gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ);
        ok = mapped;
        if (!ok) {
            why = "cannot read a picture from GStreamer";
        } else {
            picture::PictureView picture;
            picture.pixels = static_cast<const std::uint32_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
            picture.width = GST_VIDEO_FRAME_WIDTH(&frame);
            picture.height = GST_VIDEO_FRAME_HEIGHT(&frame);
            picture.stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
            if (GST_VIDEO_INFO_PAR_N(&info) > 0 && GST_VIDEO_INFO_PAR_D(&info) > 0)
                picture.pixelAspect = double(GST_VIDEO_INFO_PAR_N(&info)) / GST_VIDEO_INFO_PAR_D(&info);
            drawer.SetPicture(picture);
            seen = picture::SeenSize(picture);
            if (!live) {
                if (GST_VIDEO_INFO_FPS_N(&info) > 0 && GST_VIDEO_INFO_FPS_D(&info) > 0)
                    clock.SetFrameUs(std::int64_t(
                        gst_util_uint64_scale(GST_VIDEO_INFO_FPS_D(&info), 1000000, GST_VIDEO_INFO_FPS_N(&info))));
                else if (!clock.KnowsFrameUs() && GST_BUFFER_DURATION_IS_VALID(buffer))
                    clock.SetFrameUs(std::int64_t(GST_BUFFER_DURATION(buffer) / 1000));
                // The stamp as the decoder gives it: after a seek some demuxers move the segment's
                // stream time about, while the buffer's own time stays the file's.
                std::optional<std::int64_t> stamp;
                if (GST_BUFFER_PTS_IS_VALID(buffer)) stamp = std::int64_t(GST_BUFFER_PTS(buffer) / 1000);
                shown = clock.Next(stamp);
            }
        }
    }
    gst_sample_unref(sample);
    return ok;
}

bool VideoSource::Pipeline::Failed(std::string& why)
{
    while (GstMessage* msg = gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))) {
        const bool error = GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR;
        if (error) {
            GError* err = nullptr;
            gchar* debug = nullptr;
            gst_message_parse_error(msg, &err, &debug);
            // Typefinding failing is GStreamer's way of saying the bytes are no media at all.
            if (err && err->domain == GST_STREAM_ERROR && err->code == GST_STREAM_ERROR_TYPE_NOT_FOUND)
                why = "not a video: GStreamer cannot tell what the data is";
            else
                why = OneLine(err && err->message ? err->message : "");
            if (err) g_error_free(err);
            g_free(debug);
        }
        gst_message_unref(msg);
        if (error) return true;
        // A file's end is seen at the appsink and answered by rewinding; a live source
        // that ends is gone.
        if (live) {
            why = "the source stopped sending pictures";
            return true;
        }
    }
    return false;
}

void VideoSource::Pipeline::OnPadAdded(GstElement*, GstPad* pad, gpointer data)
{
    auto* self = static_cast<Pipeline*>(data);
    if (!IsVideoPad(pad)) return;
    std::lock_guard<std::mutex> lock(self->mutex);
    if (self->videoLinked) return;
    GstPad* target = gst_element_get_static_pad(self->convert, "sink");
    if (target != nullptr) {
        self->videoLinked = gst_pad_link(pad, target) == GST_PAD_LINK_OK;
        gst_object_unref(target);
    }
}

void VideoSource::Pipeline::OnElementAdded(GstBin*, GstBin*, GstElement* element, gpointer data)
{
    GstElementFactory* factory = gst_element_get_factory(element);
    const char* klass = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
    if (klass != nullptr && std::strstr(klass, "Demuxer") != nullptr) {
        auto* self = static_cast<Pipeline*>(data);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->demuxers.push_back(GST_ELEMENT(gst_object_ref(element)));
        return;
    }
    if (klass == nullptr || std::strstr(klass, "Decoder") == nullptr ||
        (std::strstr(klass, "Video") == nullptr && std::strstr(klass, "Image") == nullptr))
        return;
    if (GstPad* sink = gst_element_get_static_pad(element, "sink")) {
        Watch(sink, data);
        gst_object_unref(sink);
    }
}

void VideoSource::Pipeline::Watch(GstPad* pad, gpointer self)
{
    gst_pad_add_probe(pad, GstPadProbeType(GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_BUFFER),
                      &Pipeline::OnStreamData, self, nullptr);
}

GstPadProbeReturn VideoSource::Pipeline::OnStreamData(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    auto* self = static_cast<Pipeline*>(data);
    std::uint32_t width = 0, height = 0;
    bool sized = false;
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        if (self->IsRefused()) return GST_PAD_PROBE_DROP;
        GstCaps* caps = gst_pad_get_current_caps(pad);
        const bool jpeg = caps != nullptr && gst_caps_get_size(caps) > 0 &&
                          gst_structure_has_name(gst_caps_get_structure(caps, 0), "image/jpeg");
        if (caps != nullptr) gst_caps_unref(caps);
        GstMapInfo map;
        if (jpeg && gst_buffer_map(GST_PAD_PROBE_INFO_BUFFER(info), &map, GST_MAP_READ)) {
            sized = codec::JpegFrameSize(map.data, map.size, width, height);
            gst_buffer_unmap(GST_PAD_PROBE_INFO_BUFFER(info), &map);
        }
    } else if (GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info); GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        const GstStructure* s = caps && gst_caps_get_size(caps) > 0 ? gst_caps_get_structure(caps, 0) : nullptr;
        int w = 0, h = 0;
        sized = s != nullptr && gst_structure_get_int(s, "width", &w) && gst_structure_get_int(s, "height", &h);
        width = std::uint32_t(std::max(w, 0));
        height = std::uint32_t(std::max(h, 0));
    }
    if (!sized || codec::WithinSizeBounds(width, height)) return GST_PAD_PROBE_OK;
    std::lock_guard<std::mutex> lock(self->mutex);
    if (self->refused.empty()) self->refused = FramesTooLarge(width, height);
    return GST_PAD_PROBE_DROP;
}

bool VideoSource::Pipeline::IsRefused()
{
    std::lock_guard<std::mutex> lock(mutex);
    return !refused.empty();
}

bool VideoSource::Pipeline::Stopped(std::string& why)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!refused.empty()) {
            why = refused;
            return true;
        }
    }
    // The element whose frame could not be allocated says so vaguely, if at all.
    if (frames != nullptr && FrameAllocationFailed(frames)) {
        why = "out of memory for the video's frames";
        return true;
    }
    return Failed(why);
}

void VideoSource::Pipeline::OnNoMorePads(GstElement*, gpointer data)
{
    auto* self = static_cast<Pipeline*>(data);
    std::lock_guard<std::mutex> lock(self->mutex);
    self->allPadsFound = true;
}

bool VideoSource::Pipeline::DemuxerGaveUp(std::string& why)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (GstElement* demuxer : demuxers) {
        GST_OBJECT_LOCK(demuxer);
        const bool noStream = demuxer->numsrcpads == 0;
        GstPad* sink = demuxer->sinkpads ? GST_PAD(gst_object_ref(demuxer->sinkpads->data)) : nullptr;
        GST_OBJECT_UNLOCK(demuxer);
        if (sink == nullptr) continue;
        // A demuxer reading on its own (pull mode) pauses its task when it can read no further.
        const bool paused = gst_pad_get_task_state(sink) == GST_TASK_PAUSED;
        gst_object_unref(sink);
        if (noStream && paused) {
            GstElementFactory* factory = gst_element_get_factory(demuxer);
            why = std::string("the file cannot be read: GStreamer's ") +
                  (factory ? GST_OBJECT_NAME(factory) : "demuxer") + " found no stream in it";
            return true;
        }
    }
    return false;
}

bool VideoSource::Pipeline::HasNoVideo()
{
    std::lock_guard<std::mutex> lock(mutex);
    return allPadsFound && !videoLinked;
}

} // namespace gst
