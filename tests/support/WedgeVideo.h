// Videos of a moving wedge whose angle is known at every frame, drawn here and encoded by
// GStreamer into a real file; each frame carries its own number in a strip of black and white
// blocks at the top left, so a test reads which frame the camera shows from the picture itself.
#pragma once

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "backends/gst/CameraElements.h"
#include "device/Pixels.h"
#include "support/Pipelines.h"
#include "support/Wedge.h"

namespace testing_support {

constexpr int kFrameBits = 8;
constexpr int kBitSide = 16;

// Frame i's wedge, and whether a grey patch covers its corner in that frame.
struct WedgeMotion {
    const char* name;
    int frames;
    std::function<Wedge(int frame)> pose;
    std::function<bool(int frame)> covered = [](int) { return false; };
};

inline void MarkFrame(std::vector<std::uint32_t>& pixels, int width, int frame)
{
    for (int b = 0; b < kFrameBits; b++) {
        const std::uint32_t v = (frame >> b) & 1 ? 0xffffffffu : 0xff000000u;
        for (int y = 0; y < kBitSide; y++) {
            for (int x = b * kBitSide; x < (b + 1) * kBitSide; x++) {
                pixels[std::size_t(y) * width + x] = v;
            }
        }
    }
}

// The frame number a picture carries; -1 when its strip is unreadable.
inline int FrameOf(const device::PixelView& picture)
{
    if (picture.width < kFrameBits * kBitSide || picture.height < kBitSide) {
        return -1;
    }
    int n = 0;
    for (int b = 0; b < kFrameBits; b++) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(picture.pixels) +
                                                                 std::size_t(kBitSide / 2) * picture.stride);
        const int g = (row[b * kBitSide + kBitSide / 2] >> 8) & 0xff;
        if (g > 64 && g < 192) {
            return -1;
        }
        n |= (g >= 192 ? 1 : 0) << b;
    }
    return n;
}

// An MJPEG AVI at 15 frames a second (quality 95); empty, or GStreamer's error text.
inline std::string WriteWedgeVideo(const std::string& path, const WedgeMotion& motion, int width, int height)
{
    std::string error;
    GstElement* pipeline =
        ParsePipeline("appsrc name=src format=time caps=video/x-raw,format=BGRx,width=" + std::to_string(width) +
                          ",height=" + std::to_string(height) +
                          ",framerate=15/1 ! videoconvert ! jpegenc quality=95 ! avimux ! "
                          "filesink name=out",
                      error);
    if (!pipeline) {
        return error;
    }
    GstElement* src = PlayIntoFile(pipeline, path);
    for (int i = 0; i < motion.frames; i++) {
        const Wedge w = motion.pose(i);
        std::vector<std::uint32_t> pixels = DrawWedge(w, width, height, 11 + i);
        if (motion.covered(i)) {
            // A hand over the corner: a flat grey disc.
            for (int y = 0; y < height; y++) {
                for (int x = 0; x < width; x++) {
                    if (std::hypot(x + 0.5 - w.vertexX, y + 0.5 - w.vertexY) < 45) {
                        pixels[std::size_t(y) * width + x] = 0xff808080u;
                    }
                }
            }
        }
        MarkFrame(pixels, width, i);
        GstBuffer* buffer = gst_buffer_new_memdup(pixels.data(), pixels.size() * 4);
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(i, GST_SECOND, 15);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, 15);
        if (gst_app_src_push_buffer(GST_APP_SRC(src), buffer) != GST_FLOW_OK) {
            error = "the encoder refused a frame";
            break;
        }
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    gst_object_unref(src);
    const std::string ran = RunToEnd(pipeline);
    return error.empty() ? ran : error;
}

} // namespace testing_support
