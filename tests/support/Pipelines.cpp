// Parsing and playing test pipelines.
#include "support/Pipelines.h"

#include "backends/gst/CameraElements.h"

namespace testing_support {

GstElement* ParsePipeline(const std::string& description, std::string& error)
{
    if (!gst::EnsureGstreamer(error)) {
        return nullptr;
    }
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &err);
    if (err != nullptr) {
        error = err->message;
        g_error_free(err);
        if (pipeline) {
            gst_object_unref(pipeline);
        }
        return nullptr;
    }
    return pipeline;
}

GstElement* PlayIntoFile(GstElement* pipeline, const std::string& path)
{
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_object_set(out, "location", path.c_str(), nullptr);
    gst_object_unref(out);
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    return src;
}

std::string RunToEnd(GstElement* pipeline)
{
    std::string error;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg =
        gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (msg == nullptr) {
        error = "timed out";
    } else {
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
            GError* err = nullptr;
            gst_message_parse_error(msg, &err, nullptr);
            error = err ? err->message : "error";
            if (err) {
                g_error_free(err);
            }
        }
        gst_message_unref(msg);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return error;
}

std::string Launch(const std::string& description)
{
    std::string error;
    GstElement* pipeline = ParsePipeline(description, error);
    return pipeline ? RunToEnd(pipeline) : error;
}

} // namespace testing_support
