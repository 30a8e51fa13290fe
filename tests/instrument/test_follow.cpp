// Following a corner: videos of a wedge whose angle is known at every frame, played through the
// real video source under the virtual clock and read within their truth or recorded lost; the
// demo's moving wedge; what stops following; and a search beside the event thread that never piles up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "backends/gst/VideoSource.h"
#include "demo/TurningWedge.h"
#include "headless/Script.h"
#include "instrument/Follower.h"
#include "support/Harness.h"
#include "support/Scratch.h"
#include "support/WedgeVideo.h"

using testing_support::Harness;
using testing_support::HarnessOptions;
using testing_support::Wedge;
using testing_support::WedgeMotion;

namespace {

using device::kPi;

// A reading is true when the readout (cut to tenths) lies within the stated uncertainty of the
// truth, half a tenth allowed for the cut.
bool WithinTruth(double angle, double uncertainty, double truth)
{
    return std::abs(angle - truth) <= std::stod(instrument::StatedUncertainty(uncertainty)) + 0.05 + 1e-9;
}

// The finger's corner at a screen point, laid; the plan it laid.
instrument::Plan ReadCorner(Harness& h, instrument::NeedleWatch& watch, device::PointD screen)
{
    const instrument::Plan plan = instrument::PlanCorner(h.Device(), instrument::Ask(h.Device(), watch, screen));
    instrument::Carry(h.Device(), plan, [&](const device::Aim& aim) { h.Device().PostAim(aim); });
    h.RunMs(0);
    return plan;
}

// What one followed run read, frame by frame (by the number each picture carries).
struct Followed {
    std::map<int, instrument::Reading> read;
    int lastFrame = -1;
    std::vector<std::string> told;
    int lostRecords = 0;
    int foundAgain = 0; // followed records right after a lost one
};

Followed FollowVideo(const std::string& path, const WedgeMotion& motion, int width, int height)
{
    Followed out;
    HarnessOptions options;
    options.cameraSource = [path] { return std::make_unique<gst::VideoSource>(gst::VideoSource::Kind::File, path); };
    Harness h(options);
    instrument::NeedleWatch watch(h.Device());
    int shown = -1; // the frame the camera shows now
    const int picturesWatch = h.Device().Camera().WatchPictures([&] {
        h.Device().Camera().Source()->SeePicture(
            0, [&](const device::PixelView& p) { shown = testing_support::FrameOf(p); });
    });
    instrument::Follower follower(
        h.Device(), watch, instrument::Follower::Run::Here,
        {[&](const device::Aim& aim) { h.Device().PostAim(aim); },
         [&](const std::string& line) { out.told.push_back(line); },
         [&](const instrument::Reading& r, const instrument::Plan&, std::int64_t) { out.read[shown] = r; }});
    h.Frames(1);
    // The first corner read where the first frame shows it, at zoom 1 the picture covering the screen.
    const double scale = std::max(800.0 / width, 480.0 / height);
    const Wedge first = motion.pose(std::max(shown, 0));
    const instrument::Plan plan = ReadCorner(
        h, watch,
        {first.vertexX * scale - (width * scale - 800) / 2, first.vertexY * scale - (height * scale - 480) / 2});
    std::string why;
    EXPECT_TRUE(follower.Start(plan, why)) << why << " " << plan.notice;
    h.Trace().Clear();
    // Stops before the video starts over.
    for (int guard = 0; guard < motion.frames * 3 && shown < motion.frames - 1 && shown >= 0; guard++) {
        h.Frames(1);
    }
    out.lastFrame = shown;
    bool wasLost = false;
    for (const trace::Event& e : h.Trace().events) {
        if (e.type != trace::Event::Type::Finger) {
            continue;
        }
        for (const auto& [k, v] : e.args) {
            if (k == "state" && v == "\"lost\"") {
                out.lostRecords++;
                wasLost = true;
            } else if (k == "state" && v == "\"followed\"") {
                out.foundAgain += wasLost ? 1 : 0;
                wasLost = false;
            }
        }
    }
    h.Device().Camera().UnwatchPictures(picturesWatch);
    return out;
}

double Wave(int i, double period, double phase = 0) { return std::sin(2 * kPi * i / period + phase); }

} // namespace

// Each arm of a corner is matched with the nearer arm of the last one, either way round; one
// that turned or opened too far between two pictures is not the same corner.
TEST(Follow, TheSameCornerIsRecognisedAndAnotherIsNot)
{
    const auto corner = [](double a1, double a2) {
        instrument::Corner c;
        c.arm1 = {std::cos(a1 * kPi / 180), -std::sin(a1 * kPi / 180)};
        c.arm2 = {std::cos(a2 * kPi / 180), -std::sin(a2 * kPi / 180)};
        return c;
    };
    const instrument::Corner last = corner(30, 110);
    instrument::Corner matched;
    EXPECT_EQ(instrument::Unlike(last, corner(112, 33), matched), "");
    EXPECT_NEAR(matched.arm1.x, std::cos(33 * kPi / 180), 1e-12) << "the arms keep the last corner's order";
    EXPECT_NE(instrument::Unlike(last, corner(30, 125), matched).find("wider or narrower"), std::string::npos);
    EXPECT_NE(instrument::Unlike(last, corner(50, 130), matched).find("turned"), std::string::npos);
    EXPECT_EQ(instrument::Unlike(last, corner(50, 130), matched, 8), "") << "unseen for 8 pictures it may have turned";

    instrument::Track track{last, std::nullopt, {640, 360}, 0};
    track.last.vertex = {100, 50};
    EXPECT_EQ(instrument::Predicted(track).x, 100);
    track.before = device::PointD{96, 53};
    EXPECT_EQ(instrument::Predicted(track).x, 104);
    EXPECT_EQ(instrument::Predicted(track).y, 47);
}

// Wedges that open and close, turn, move, and are covered for a while, each an MJPEG video made
// here: every frame's reading lies within its truth or the frame is recorded lost, and only
// the covered frames are lost. The table is printed.
TEST(Follow, KnownAngleVideosReadTheirTruthOrAreLost)
{
    constexpr int kW = 640, kH = 360, kN = 60;
    const auto base = [](double x, double y, double a1, double opening) {
        Wedge w;
        w.vertexX = x, w.vertexY = y, w.arm1Deg = a1, w.openingDeg = opening;
        w.blur = 1.0;
        return w;
    };
    const std::vector<WedgeMotion> motions = {
        {"opens and closes", kN, [&](int i) { return base(320.3, 250.6, 30, 70 + 30 * Wave(i, 30)); }},
        {"turns", kN, [&](int i) { return base(320.3, 250.6, 20 + 12 * Wave(i, 40), 75); }},
        {"moves, turns and opens", kN,
         [&](int i) {
             return base(320 + 100 * Wave(i, 60), 250 + 30 * Wave(i, 45), 25 + 10 * Wave(i, 50), 80 + 20 * Wave(i, 35));
         }},
        {"covered for 8 frames", kN,
         [&](int i) { return base(320 + 100 * Wave(i, 60), 250, 25 + 10 * Wave(i, 50), 80 + 20 * Wave(i, 35)); },
         [](int i) { return i >= 20 && i < 28; }},
    };
    const testing_support::ScratchDir dir("veltora-follow");
    std::printf(
        "| video | frames followed | lost | median error | worst error | worst stated |\n|---|---|---|---|---|---|\n");
    for (const WedgeMotion& m : motions) {
        SCOPED_TRACE(m.name);
        const std::string path = dir.File(std::string("wedge-") + std::to_string(&m - motions.data()) + ".avi");
        ASSERT_EQ(testing_support::WriteWedgeVideo(path, m, kW, kH), "");
        const Followed f = FollowVideo(path, m, kW, kH);
        ASSERT_EQ(f.lastFrame, kN - 1) << "the video was not played to its end";
        std::vector<double> errors;
        double worstStated = 0;
        int lost = 0, wrong = 0;
        for (int i = 1; i < kN; i++) {
            const auto it = f.read.find(i);
            if (it == f.read.end()) {
                lost++;
                EXPECT_TRUE(m.covered(i) || m.covered(i - 1)) << "frame " << i << " lost, uncovered";
                continue;
            }
            EXPECT_FALSE(m.covered(i)) << "frame " << i << " read through the cover";
            const double angle = std::stod(it->second.angle);
            const double truth = m.pose(i).openingDeg;
            errors.push_back(std::abs(angle - truth));
            worstStated = std::max(worstStated, it->second.uncertainty);
            if (!WithinTruth(angle, it->second.uncertainty, truth)) {
                wrong++;
                ADD_FAILURE() << "frame " << i << " read " << angle << " +/- " << it->second.uncertainty << ", truth "
                              << truth;
            }
        }
        ASSERT_FALSE(errors.empty());
        for (const std::string& line : f.told) {
            std::printf("  told: %s\n", line.c_str());
        }
        std::sort(errors.begin(), errors.end());
        std::printf("| %s | %zu | %d | %.3f | %.3f | %.2f |\n", m.name, errors.size(), lost, errors[errors.size() / 2],
                    errors.back(), worstStated);
        EXPECT_EQ(wrong, 0);
        const bool covers = m.covered(20);
        std::string told;
        for (const std::string& line : f.told) {
            told += line + "\n";
        }
        EXPECT_EQ(f.lostRecords, covers ? 1 : 0) << "a loss is one record; told:\n" << told;
        EXPECT_EQ(f.foundAgain, covers ? 1 : 0) << "and the finding again one more";
        EXPECT_EQ(std::count_if(f.told.begin(), f.told.end(),
                                [](const std::string& s) { return s.rfind("lost the corner", 0) == 0; }),
                  covers ? 1 : 0);
    }
}
