// The camera sensor on its own: frames rendered straight into a target or scaled, the aim kept
// within reach, a failing source giving way to the fallback, and only the changes redrawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "device/Device.h"
#include "support/Frames.h"

using device::Device;
using device::DeviceConfig;
using testing_support::Frame;

namespace {

// A flat colour that can be told to fail, recording what it was asked to render.
class FlatSource : public device::CameraSource {
public:
    FlatSource(std::uint32_t colour, int failAfter = -1) : m_colour(colour), m_failAfter(failAfter) {}
    std::string Describe() const override { return "flat source"; }
    bool Open(std::string& reason) override
    {
        reason = "no such thing";
        return m_opens;
    }
    std::vector<device::FrameSize> Resolutions() const override { return {{4, 2}, {8, 4}}; }
    bool Render(std::int64_t, const device::PixelView& out, std::string& reason) override
    {
        if (m_failAfter >= 0 && m_rendered >= m_failAfter) {
            reason = "unplugged";
            return false;
        }
        ++m_rendered;
        sizes.push_back({out.width, out.height});
        for (int y = 0; y < out.height; y++) {
            std::fill(out.Row(y), out.Row(y) + out.width, m_colour);
        }
        return true;
    }
    void SetAim(const device::Aim& aim) override { aims.push_back(aim); }

    bool m_opens = true;
    std::vector<device::FrameSize> sizes;
    std::vector<device::Aim> aims;

private:
    std::uint32_t m_colour;
    int m_failAfter;
    int m_rendered = 0;
};

// One white pixel on black that moves a column a frame (at time t it stands in column t
// modulo the width, row 1); Update draws only the pixels that change.
class DotSource : public device::CameraSource {
public:
    std::string Describe() const override { return "dot"; }
    bool Open(std::string&) override { return true; }
    std::vector<device::FrameSize> Resolutions() const override { return {{8, 4}}; }
    bool Render(std::int64_t t, const device::PixelView& out, std::string&) override
    {
        calls += 'R';
        for (int y = 0; y < out.height; y++) {
            std::fill(out.Row(y), out.Row(y) + out.width, 0xFF000000u);
        }
        m_dot = static_cast<int>(t % out.width);
        out.Row(1)[m_dot] = 0xFFFFFFFFu;
        return true;
    }
    bool Update(std::int64_t t, const device::PixelView& out, device::PixelRect& changed, std::string&) override
    {
        calls += 'U';
        const int dot = static_cast<int>(t % out.width);
        changed = {};
        if (dot != m_dot) {
            out.Row(1)[m_dot] = 0xFF000000u;
            out.Row(1)[dot] = 0xFFFFFFFFu;
            changed = device::PixelRect{m_dot, 1, 1, 1}.United({dot, 1, 1, 1});
            m_dot = dot;
        }
        return true;
    }
    std::string calls;

private:
    int m_dot = 0;
};

struct Notices {
    std::vector<std::string> lines;
    void Attach(Device& dev)
    {
        dev.SetNoticeHook([this](const char*, int, const std::string& m) { lines.push_back(m); });
    }
};

} // namespace

TEST(CameraSensor, RendersStraightIntoATargetOfItsSizeAndScalesOtherSizes)
{
    FlatSource* source = nullptr;
    DeviceConfig config;
    config.cameraSource = [&] {
        auto s = std::make_unique<FlatSource>(0xFF3366CCu);
        source = s.get();
        return s;
    };
    Device dev(config);
    ASSERT_TRUE(dev.Camera().EnsureSource());
    EXPECT_EQ(dev.Camera().Resolutions().size(), 2u);

    Frame target(8, 4, 3);
    ASSERT_TRUE(dev.Camera().Capture(0, {8, 4}, target.View()));
    ASSERT_EQ(source->sizes.size(), 1u);
    EXPECT_EQ(source->sizes[0], (device::FrameSize{8, 4}));
    EXPECT_EQ(target.At(7, 3), 0xFF3366CCu);
    // The padding past each row stays untouched.
    EXPECT_EQ(target.words[8], testing_support::kPoison);

    Frame scaled(8, 4, 3);
    ASSERT_TRUE(dev.Camera().Capture(0, {4, 2}, scaled.View()));
    EXPECT_EQ(source->sizes.back(), (device::FrameSize{4, 2}));
    for (int y = 0; y < 4; y++) {
        for (int x = 0; x < 8; x++) {
            EXPECT_TRUE(testing_support::Near(scaled.At(x, y), 0xFF3366CCu, 1)) << x << "," << y;
        }
    }
    EXPECT_EQ(scaled.words[8], testing_support::kPoison);

    // No target: the frame is counted, nothing is rendered.
    const auto renders = source->sizes.size();
    EXPECT_FALSE(dev.Camera().Capture(0, {8, 4}, device::PixelView{}));
    EXPECT_EQ(source->sizes.size(), renders);
    EXPECT_EQ(dev.Camera().FramesProduced(), 3u);
}

TEST(CameraSensor, KeepsTheAimWithinReachAndPassesItOn)
{
    FlatSource* source = nullptr;
    DeviceConfig config;
    config.cameraSource = [&] {
        auto s = std::make_unique<FlatSource>(0xFF000000u);
        source = s.get();
        return s;
    };
    Device dev(config);
    // The centre may go as far past the picture's edge as puts that edge on the frame's
    // far edge: half a frame (1/zoom of the picture) beyond it, no further.
    dev.PostAim({20.0, -1.0, std::nan("")});
    dev.RunFor(0);
    EXPECT_EQ(dev.Camera().GetAim(), (device::Aim{8.0, -0.0625, 0.5}));
    ASSERT_FALSE(source->aims.empty());
    EXPECT_EQ(source->aims.back(), (device::Aim{8.0, -0.0625, 0.5}));
    dev.Camera().SetAim({std::numeric_limits<double>::infinity(), 0.25, 2.0});
    EXPECT_EQ(dev.Camera().GetAim(), (device::Aim{1.0, 0.25, 1.5}));
    dev.Camera().SetAim({0.01, 0.5, 0.5});
    EXPECT_EQ(dev.Camera().GetAim(), (device::Aim{device::kMinZoom, 0.5, 0.5}));
    // A source opened later is aimed as the camera is.
    dev.Camera().SetAim({1.0, 0.25, 2.0});
    ASSERT_TRUE(dev.Camera().EnsureSource());
    EXPECT_EQ(source->aims.back(), (device::Aim{1.0, 0.25, 1.5}));
}

TEST(CameraSensor, ASourceThatFailsGivesWayToTheFallbackOnceWithOneNotice)
{
    for (bool opens : {true, false}) {
        DeviceConfig config;
        config.cameraSource = [opens] {
            auto s = std::make_unique<FlatSource>(0xFF00FF00u, 1);
            s->m_opens = opens;
            return s;
        };
        config.fallbackCameraSource = [] { return std::make_unique<FlatSource>(0xFFFF0000u); };
        Device dev(config);
        Notices notices;
        notices.Attach(dev);
        Frame target(4, 2);
        EXPECT_TRUE(dev.Camera().Capture(0, {4, 2}, target.View()));
        ASSERT_EQ(notices.lines.size(), opens ? 0u : 1u);
        EXPECT_EQ(target.At(0, 0), opens ? 0xFF00FF00u : 0xFFFF0000u);
        EXPECT_TRUE(dev.Camera().Capture(0, {4, 2}, target.View()));
        EXPECT_EQ(target.At(3, 1), 0xFFFF0000u);
        ASSERT_EQ(notices.lines.size(), 1u);
        EXPECT_EQ(notices.lines[0],
                  opens ? "camera: flat source: failed: unplugged; using the flat source instead"
                        : "camera: flat source: cannot open: no such thing; using the flat source instead");
    }
}

TEST(CameraSensor, ASourceThatGivesWayIsToldToTheUserWhereSomeoneListens)
{
    DeviceConfig config;
    config.cameraSource = [] {
        auto s = std::make_unique<FlatSource>(0xFF00FF00u);
        s->m_opens = false;
        return s;
    };
    config.fallbackCameraSource = [] { return std::make_unique<FlatSource>(0xFFFF0000u); };
    std::vector<std::string> told;
    config.tell = [&told](const std::string& m) { told.push_back(m); };
    Device dev(config);
    Notices notices;
    notices.Attach(dev);
    Frame target(4, 2);
    EXPECT_TRUE(dev.Camera().Capture(0, {4, 2}, target.View()));
    EXPECT_TRUE(notices.lines.empty());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "camera: flat source: cannot open: no such thing; using the flat source instead");
}

TEST(CameraSensor, WithoutAnyPictureTheTargetKeepsItsLastFrame)
{
    DeviceConfig config;
    config.cameraSource = [] { return std::make_unique<FlatSource>(0xFF00FF00u, 1); };
    Device dev(config);
    Notices notices;
    notices.Attach(dev);
    Frame target(4, 2);
    EXPECT_TRUE(dev.Camera().Capture(0, {4, 2}, target.View()));
    EXPECT_FALSE(dev.Camera().Capture(0, {4, 2}, target.View()));
    EXPECT_FALSE(dev.Camera().EnsureSource());
    EXPECT_EQ(target.At(0, 0), 0xFF00FF00u);
    ASSERT_EQ(notices.lines.size(), 1u);
    EXPECT_EQ(notices.lines[0], "camera: flat source: failed: unplugged; the camera shows nothing");

    Device bare;
    Notices quiet;
    quiet.Attach(bare);
    EXPECT_FALSE(bare.Camera().EnsureSource());
    EXPECT_TRUE(bare.Camera().Resolutions().empty());
    ASSERT_EQ(quiet.lines.size(), 1u);
    EXPECT_EQ(quiet.lines[0], "camera: camera: no camera source; the camera shows nothing");
}

TEST(CameraSensor, OnlyTheTargetFilledLastGetsJustTheChanges)
{
    DotSource* source = nullptr;
    DeviceConfig config;
    config.cameraSource = [&] {
        auto s = std::make_unique<DotSource>();
        source = s.get();
        return s;
    };
    Device dev(config);
    device::CameraSensor& camera = dev.Camera();
    const auto dotAt = [](const Frame& f, int column) {
        for (int y = 0; y < f.height; y++) {
            for (int x = 0; x < f.width; x++) {
                if (f.At(x, y) != (x == column && y == 1 ? 0xFFFFFFFFu : 0xFF000000u)) {
                    return false;
                }
            }
        }
        return true;
    };
    Frame target(8, 4, 2);
    device::PixelRect changed;
    // The first frame is drawn whole; then only the dot's old and new pixels.
    ASSERT_TRUE(camera.CaptureChanges(2, {8, 4}, target.View(), changed));
    EXPECT_EQ(changed, (device::PixelRect{0, 0, 8, 4}));
    ASSERT_TRUE(camera.CaptureChanges(5, {8, 4}, target.View(), changed));
    EXPECT_EQ(changed, (device::PixelRect{2, 1, 4, 1}));
    EXPECT_TRUE(dotAt(target, 5));
    ASSERT_TRUE(camera.CaptureChanges(13, {8, 4}, target.View(), changed));
    EXPECT_TRUE(changed.Empty()) << "the dot stands in column 5 again";
    EXPECT_EQ(target.words[8], testing_support::kPoison);
    EXPECT_EQ(source->calls, "RUU");

    // Another target in between: the first one no longer holds the source's last frame.
    Frame other(8, 4);
    ASSERT_TRUE(camera.CaptureChanges(6, {8, 4}, other.View(), changed));
    ASSERT_TRUE(camera.CaptureChanges(7, {8, 4}, target.View(), changed));
    EXPECT_EQ(changed, (device::PixelRect{0, 0, 8, 4}));
    EXPECT_TRUE(dotAt(target, 7));
    // A plain capture draws the whole frame, and a frame of another size is scaled whole.
    ASSERT_TRUE(camera.Capture(8, {8, 4}, target.View()));
    ASSERT_TRUE(camera.CaptureChanges(9, {4, 2}, target.View(), changed));
    EXPECT_EQ(changed, (device::PixelRect{0, 0, 8, 4}));
    ASSERT_TRUE(camera.CaptureChanges(13, {4, 2}, target.View(), changed));
    EXPECT_TRUE(changed.Empty());
    ASSERT_TRUE(camera.CaptureChanges(14, {4, 2}, target.View(), changed));
    EXPECT_EQ(changed, (device::PixelRect{0, 0, 8, 4}));
    EXPECT_EQ(source->calls, "RUURRRRUU");

    // A new source starts afresh; one that knows nothing of changes changes it all.
    camera.SetSource(std::make_unique<FlatSource>(0xFF3366CCu));
    for (int i = 0; i < 2; i++) {
        ASSERT_TRUE(camera.CaptureChanges(20 + i, {8, 4}, target.View(), changed));
        EXPECT_EQ(changed, (device::PixelRect{0, 0, 8, 4}));
        EXPECT_EQ(target.At(5, 1), 0xFF3366CCu);
    }
}
