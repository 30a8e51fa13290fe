// The cameras this machine has, as --camera names them: video-for-Linux devices and the
// cameras of libcamera, found through GStreamer's device monitor. Needs no GStreamer header.
#pragma once

#include <string>
#include <vector>

namespace gst {

struct CameraEntry {
    std::string name; // what --camera takes: "/dev/video0", "libcamera:NAME"
    std::string label; // the device's own name, e.g. "Integrated Camera: Integrated C"
    std::string api; // "V4L2" or "libcamera"
};

// Every camera found, in the monitor's order; false with a reason when GStreamer cannot
// start. Finding none is not a failure.
bool ListCameras(std::vector<CameraEntry>& cameras, std::string& reason);

// "libcamera" or "libcamera:NAME" names a libcamera camera (NAME empty: the first one).
bool IsLibcameraName(const std::string& text, std::string& cameraName);

} // namespace gst
