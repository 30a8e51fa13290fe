// Device cameras through GStreamer: libcamera's cameras named and opened through its element,
// V4L2 and libcamera devices named for --camera, and a libcamera camera that is not there refused at once.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "backends/gst/CameraElements.h"
#include "backends/gst/CameraList.h"
#include "backends/gst/VideoSource.h"

using gst::CameraEntry;
using gst::VideoSource;

namespace {

// A fresh element of `factory`, owned by the caller; null when it is not installed.
GstElement* Element(const char* factory)
{
    GstElement* e = gst_element_factory_make(factory, nullptr);
    return e ? GST_ELEMENT(gst_object_ref_sink(e)) : nullptr;
}

void QuietLibcamera()
{
    // libcamera's own chatter is not what these tests look at (the launcher quiets it too).
    setenv("LIBCAMERA_LOG_LEVELS", "*:FATAL", 0);
    std::string reason;
    ASSERT_TRUE(gst::EnsureGstreamer(reason)) << reason;
}

} // namespace

TEST(CameraList, LibcameraNamesForTheFirstCameraOrOneByName)
{
    std::string name = "kept";
    EXPECT_TRUE(gst::IsLibcameraName("libcamera", name));
    EXPECT_EQ(name, "");
    EXPECT_TRUE(gst::IsLibcameraName("libcamera:/base/soc/i2c0mux/i2c@1/imx219@10", name));
    EXPECT_EQ(name, "/base/soc/i2c0mux/i2c@1/imx219@10");
    for (const char* other : {"libcamera:", "libcamera.mp4", "libcameras", "/dev/video0", "", "LIBCAMERA"}) {
        EXPECT_FALSE(gst::IsLibcameraName(other, name)) << other;
    }
    EXPECT_EQ(VideoSource(VideoSource::Kind::Libcamera, "").Describe(), "libcamera's first camera");
    EXPECT_EQ(VideoSource(VideoSource::Kind::Libcamera, "/base/imx219").Describe(), "libcamera camera /base/imx219");
}

TEST(CameraList, EachDeviceIsNamedByTheElementThatWouldReadIt)
{
    QuietLibcamera();
    CameraEntry entry;
    GstElement* v4l2 = Element("v4l2src");
    ASSERT_NE(v4l2, nullptr);
    g_object_set(v4l2, "device", "/dev/video7", nullptr);
    ASSERT_TRUE(gst::EntryFor(v4l2, "Integrated Camera", entry));
    EXPECT_EQ(entry.name, "/dev/video7");
    EXPECT_EQ(entry.label, "Integrated Camera");
    EXPECT_EQ(entry.api, "V4L2");
    gst_object_unref(v4l2);

    // What a media server or a test pattern offers is no camera --camera can open.
    GstElement* pattern = Element("videotestsrc");
    ASSERT_NE(pattern, nullptr);
    EXPECT_FALSE(gst::EntryFor(pattern, "pattern", entry));
    gst_object_unref(pattern);

    // The libcamera element as the source of a camera: made by name, and named back.
    std::string reason;
    GstElement* made = gst::MakeLibcameraSource("/base/soc/imx219@10", reason);
    ASSERT_NE(made, nullptr) << reason << " (Debian: gstreamer1.0-libcamera)";
    gst_object_ref_sink(made);
    EXPECT_STREQ(GST_OBJECT_NAME(gst_element_get_factory(made)), "libcamerasrc");
    ASSERT_TRUE(gst::EntryFor(made, "imx219", entry));
    EXPECT_EQ(entry.name, "libcamera:/base/soc/imx219@10");
    EXPECT_EQ(entry.api, "libcamera");
    gst_object_unref(made);
    GstElement* first = gst::MakeLibcameraSource("", reason);
    ASSERT_NE(first, nullptr);
    gst_object_ref_sink(first);
    ASSERT_TRUE(gst::EntryFor(first, "", entry));
    EXPECT_EQ(entry.name, "libcamera");
    gst_object_unref(first);
}

TEST(CameraList, ALibcameraCameraThatIsNotThereFailsToOpenAtOnceSayingWhy)
{
    QuietLibcamera();
    std::vector<CameraEntry> cameras;
    std::string reason;
    ASSERT_TRUE(gst::ListCameras(cameras, reason)) << reason;
    for (const auto& c : cameras) {
        if (c.name == "libcamera:/base/no-such-camera") {
            GTEST_SKIP() << "this machine has a camera by that name";
        }
    }
    VideoSource missing(VideoSource::Kind::Libcamera, "/base/no-such-camera");
    EXPECT_FALSE(missing.Open(reason));
    EXPECT_FALSE(reason.empty());
    // Refused for what it is, not after the open timeout ran out.
    EXPECT_EQ(reason.find("no picture within"), std::string::npos) << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
    EXPECT_EQ(reason.find("no picture within"), std::string::npos)
        << "libcamera's own reason, not a timeout: " << reason;
}
