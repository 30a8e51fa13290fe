// The GStreamer elements behind a device camera: how one is made for a libcamera camera, and
// how an element the device monitor offers is told apart and named for --camera.
#pragma once

#include <gst/gst.h>

#include <string>

#include "CameraList.h"

namespace gst {

// Starts GStreamer once for the whole program; false with a reason when it cannot start.
// Whatever uses GStreamer starts it here, tests too, so that its threads stay parked.
bool EnsureGstreamer(std::string& reason);

// libcamerasrc, set to the named camera (empty: libcamera's first); null with a reason
// when libcamera's GStreamer element is not installed.
GstElement* MakeLibcameraSource(const std::string& cameraName, std::string& reason);

// Fills `entry` for a v4l2src (by its device) or a libcamerasrc (by its camera-name);
// false for any other element, such as a sound server's camera portal.
bool EntryFor(GstElement* element, const std::string& label, CameraEntry& entry);

} // namespace gst
