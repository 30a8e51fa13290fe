// Lying MJPEG videos: libjpeg makes a tiny frame, its header is rewritten to claim a size,
// and GStreamer's AVI muxer wraps the frames.
#include "support/LyingVideo.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "support/Pipelines.h"

namespace testing_support {

std::vector<unsigned char> LyingJpeg(int width, int height)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &data, &size);
    c.image_width = 16;
    c.image_height = 16;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(16 * 3, 128);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<unsigned char> jpeg(data, data + size);
    std::free(data);
    // The baseline frame header: FF C0, length, precision, then height and width.
    for (std::size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = static_cast<unsigned char>(height >> 8);
            jpeg[i + 6] = static_cast<unsigned char>(height);
            jpeg[i + 7] = static_cast<unsigned char>(width >> 8);
            jpeg[i + 8] = static_cast<unsigned char>(width);
            break;
        }
    }
    return jpeg;
}

std::string WriteMjpegAvi(const std::string& path, const std::vector<std::vector<unsigned char>>& frames)
{
    const std::string caps = "image/jpeg,width=16,height=16,framerate=15/1";
    std::string error;
    GstElement* pipeline = ParsePipeline(
        "appsrc name=src format=time caps=" + caps + " ! " + caps + " ! avimux ! filesink name=out", error);
    if (pipeline == nullptr) {
        return error;
    }
    GstElement* src = PlayIntoFile(pipeline, path);
    for (std::size_t i = 0; i < frames.size() && error.empty(); ++i) {
        GstBuffer* buffer = gst_buffer_new_memdup(frames[i].data(), frames[i].size());
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(i, GST_SECOND, 15);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, 15);
        if (gst_app_src_push_buffer(GST_APP_SRC(src), buffer) != GST_FLOW_OK) error = "the muxer took no frame";
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    gst_object_unref(src);
    if (!error.empty()) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        return error;
    }
    return RunToEnd(pipeline);
}

std::string WriteLyingVideo(const std::string& path, int width, int height, int frames)
{
    return WriteMjpegAvi(
        path, std::vector<std::vector<unsigned char>>(static_cast<std::size_t>(frames), LyingJpeg(width, height)));
}

} // namespace testing_support
