// Following a corner in a video no one here made: the desktop help's screen recording of a
// display being dragged about in a settings window, played through the real video source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "backends/gst/VideoSource.h"
#include "instrument/Follower.h"
#include "support/Harness.h"

using testing_support::Harness;
using testing_support::HarnessOptions;

namespace {

// 1024x768 VP8 at 15 frames a second, stamps in whole ms; from gnome-user-docs.
const char* const kVideo = "/usr/share/help/C/gnome-help/figures/display-dual-monitors.webm";

// The green rectangle that stands for the second display: where its green ends at the bottom
// right, in picture pixels, found from the frame's own pixels. A dark outline two pixels wide
// lies beyond, then a light glow: either side of the outline is the rectangle's edge.
// Only the upper part of the window holds it; the green label lower down is left out.
std::optional<device::PointD> GreenCorner(const device::PixelView& p)
{
    int right = -1, bottom = -1;
    for (int y = 0; y < std::min(p.height, 400); y++) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(p.pixels) +
                                                                 std::size_t(y) * std::size_t(p.stride));
        for (int x = 0; x < p.width; x++) {
            const int r = (row[x] >> 16) & 0xFF, g = (row[x] >> 8) & 0xFF, b = row[x] & 0xFF;
            if (g > 200 && r > 140 && r < 190 && b < 190) {
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) return std::nullopt;
    return device::PointD{right + 1.0, bottom + 1.0};
}

struct Seen {
    int frame = -1;
    std::string angle;
    double uncertainty = 0;
    std::optional<device::PointD> vertex;
};

} // namespace

// From frame 258 the rectangle is dragged down, left and up again (jumps of up to 66 pixels
// between the frames that change; most frames repeat the one before) until it rests at frame
// 312. Its bottom right corner is read and followed: every reading is the right angle the
// toolkit drew, within its stated uncertainty, the needles' corner is the rectangle's and no
// other, and the corner is lost only where it jumped, and found again.
TEST(FollowRealVideo, TheDraggedDisplaysCornerIsFollowedAndReadsItsRightAngle)
{
    ASSERT_TRUE(std::ifstream(kVideo).good()) << kVideo << " is missing: scripts/install-deps.sh installs it";
    HarnessOptions options;
    options.cameraSource = [] { return std::make_unique<gst::VideoSource>(gst::VideoSource::Kind::File, kVideo); };
    Harness h(options);
    instrument::NeedleWatch watch(h.Device());
    device::CameraSensor& camera = h.Device().Camera();
    std::map<int, device::PointD> truth;
    int shown = -1;
    const int picturesWatch = camera.WatchPictures([&] {
        const auto frame = camera.ShownFrame();
        if (!frame) return;
        shown = int(frame->index);
        camera.Source()->SeePicture(0, [&](const device::PixelView& p) {
            if (const auto c = GreenCorner(p)) truth[shown] = *c;
        });
    });
    std::vector<Seen> seen;
    std::vector<std::string> told;
    instrument::Follower follower(h.Device(), watch, instrument::Follower::Run::Here,
                                  {[&](const device::Aim& aim) { h.Device().PostAim(aim); },
                                   [&](const std::string& line) { told.push_back(line); },
                                   [&](const instrument::Reading& r, const instrument::Plan& plan, std::int64_t) {
                                       Seen s{r.frame ? int(r.frame->index) : -1, r.angle, r.uncertainty, std::nullopt};
                                       if (plan.corner) s.vertex = plan.corner->vertex;
                                       seen.push_back(s);
                                   }});
    h.Frames(1);
    std::string why;
    ASSERT_TRUE(camera.ShowFrame(258, why)) << why;
    h.Frames(1);
    ASSERT_EQ(shown, 258);
    // At zoom 1 the 1024x768 picture covers the 800x480 screen: 0.78125 screen pixels a picture
    // pixel, 60 cut off above and below.
    const device::PointD first = truth.at(258);
    const instrument::Plan plan = instrument::PlanCorner(
        h.Device(), instrument::Ask(h.Device(), watch, {first.x * 0.78125, first.y * 0.78125 - 60}));
    ASSERT_TRUE(plan.corner) << plan.notice;
    instrument::Carry(h.Device(), plan, [&](const device::Aim& aim) { h.Device().PostAim(aim); });
    h.RunMs(0);
    ASSERT_TRUE(follower.Start(plan, why)) << why;
    ASSERT_TRUE(camera.Play(device::Playback::Play, why)) << why;
    for (int guard = 0; guard < 200 && shown < 320; guard++) h.Frames(1);
    camera.UnwatchPictures(picturesWatch);
    ASSERT_GE(shown, 320);

    int followed = 0, wrong = 0;
    double worstOff = 0;
    for (const Seen& s : seen) {
        if (s.frame < 259 || s.frame > 320) continue;
        followed++;
        const double angle = std::stod(s.angle);
        const double stated = std::stod(instrument::StatedUncertainty(s.uncertainty));
        if (std::abs(angle - 90.0) > stated + 0.05 + 1e-9) {
            wrong++;
            ADD_FAILURE() << "frame " << s.frame << " read " << s.angle << " +/- " << stated;
        }
        ASSERT_TRUE(s.vertex.has_value());
        const device::PointD t = truth.at(s.frame);
        // On the outline, or within a pixel of it (a frame caught mid-move is smeared).
        const double dx = s.vertex->x - t.x, dy = s.vertex->y - t.y;
        worstOff = std::max({worstOff, -dx, -dy, dx - 2, dy - 2});
        EXPECT_TRUE(dx > -1 && dx < 3 && dy > -1 && dy < 3)
            << "frame " << s.frame << ": the corner followed lies at (" << s.vertex->x << ", " << s.vertex->y
            << "), the rectangle's green ends at (" << t.x << ", " << t.y << ")";
    }
    const auto lost = std::count_if(told.begin(), told.end(),
                                    [](const std::string& s) { return s.rfind("lost the corner", 0) == 0; });
    const auto found = std::count(told.begin(), told.end(), std::string("found the corner again"));
    std::printf(
        "followed %d frames, lost %d times, %d read wrong, the corner at most %.2f px off the rectangle's outline\n",
        followed, int(lost), wrong, worstOff);
    for (const std::string& line : told) std::printf("  told: %s\n", line.c_str());
    // The frames read and the losses hold where the finder and following stand now.
    EXPECT_GE(followed, 55);
    EXPECT_LE(lost, 2);
    EXPECT_EQ(found, lost) << "each loss is found again";
}
