// Which backend makes each kind of camera source, and the list of the machine's cameras.
#include "CameraSources.h"

#include <cstdio>

#include "Tell.h"
#include "demo/DemoScene.h"
#include "demo/TurningWedge.h"
#include "gst/CameraList.h"
#include "gst/VideoSource.h"
#include "photo/PhotoSource.h"
#include "text/Printable.h"

namespace launcher {

namespace {

sources::CameraKinds MakeKinds()
{
    using gst::VideoSource;
    sources::CameraKinds kinds;
    kinds.Add("demo", sources::NamesNothing, [](const std::string&) { return std::make_unique<demo::DemoScene>(); });
    // The demo's moving corner, whose angle is known at every frame: something to follow.
    kinds.Add(
        "moving wedge", [](const std::string& source) { return source == demo::TurningWedge::kName; },
        [](const std::string&) { return std::make_unique<demo::TurningWedge>(); });
    kinds.Add(
        "libcamera",
        [](const std::string& source) {
            std::string camera;
            return gst::IsLibcameraName(source, camera);
        },
        [](const std::string& source) {
            std::string camera;
            gst::IsLibcameraName(source, camera);
            return std::make_unique<VideoSource>(VideoSource::Kind::Libcamera, camera);
        });
    // /dev/v4l/by-id/... names a webcam for good, whichever number it gets.
    kinds.Add("webcam", sources::IsCameraDevice, [](const std::string& source) {
        return std::make_unique<VideoSource>(VideoSource::Kind::Webcam, source);
    });
    kinds.Add("picture", sources::IsPicture,
              [](const std::string& source) { return std::make_unique<photo::PhotoSource>(source); });
    kinds.Add("video", sources::AnyName,
              [](const std::string& source) { return std::make_unique<VideoSource>(VideoSource::Kind::File, source); });
    return kinds;
}

} // namespace

const sources::CameraKinds& CameraKinds()
{
    static const sources::CameraKinds kinds = MakeKinds();
    return kinds;
}

int ListCameras()
{
    std::vector<gst::CameraEntry> cameras;
    if (std::string reason; !gst::ListCameras(cameras, reason)) {
        return Fail("cannot list the cameras: " + reason);
    }
    if (cameras.empty()) {
        std::puts("no cameras found (looked for V4L2 devices and libcamera cameras)");
        return 0;
    }
    std::puts("cameras (pass the first column to --camera):");
    for (const auto& c : cameras) {
        // The labels come from the devices themselves.
        std::printf("  %-24s %s (%s)\n", text::Printable(c.name).c_str(), text::Printable(c.label).c_str(),
                    text::Printable(c.api).c_str());
    }
    return 0;
}

} // namespace launcher
