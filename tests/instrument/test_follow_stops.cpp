// Following on the demo's moving wedge, whose truth is known at every frame: read within it at
// every picture, here and beside the event thread; what stops following and says so; and the
// script's follow on and off.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "demo/TurningWedge.h"
#include "headless/Script.h"
#include "instrument/Follower.h"
#include "instrument/SeenPicture.h"
#include "support/Harness.h"

using testing_support::Harness;
using testing_support::HarnessOptions;

namespace {

HarnessOptions OnTheWedge()
{
    HarnessOptions options;
    options.cameraSource = [] { return std::make_unique<demo::TurningWedge>(); };
    return options;
}

bool WithinTruth(const instrument::Reading& r, double truth)
{
    return std::abs(std::stod(r.angle) - truth) <=
           std::stod(instrument::StatedUncertainty(r.uncertainty)) + 0.05 + 1e-9;
}

// The demo wedge's corner read where it lies now, wherever the camera is aimed.
instrument::Plan ReadCornerNow(Harness& h, instrument::NeedleWatch& watch)
{
    const demo::WedgePose pose = demo::TurningWedge::PoseAt(h.Device().Now());
    device::CameraSensor& camera = h.Device().Camera();
    const device::PointD screen =
        instrument::SourceToFrame(camera.GetAim(), {{800, 480}, camera.PictureTurns(), camera.HeldTurns()}, {800, 480},
                                  {pose.vertexX / 800, pose.vertexY / 480});
    const instrument::Plan plan = instrument::PlanCorner(h.Device(), instrument::Ask(h.Device(), watch, screen));
    instrument::Carry(h.Device(), plan, [&](const device::Aim& aim) { h.Device().PostAim(aim); });
    h.RunMs(0);
    return plan;
}

struct Seen {
    std::vector<std::string> told;
    int read = 0;
    int wrong = 0;
};

instrument::Follower::Hooks Hooks(Harness& h, Seen& seen)
{
    return {[&h](const device::Aim& aim) { h.Device().PostAim(aim); },
            [&seen](const std::string& line) { seen.told.push_back(line); },
            [&seen](const instrument::Reading& r, const instrument::Plan&, std::int64_t seenUs) {
                seen.read++;
                const double truth = demo::TurningWedge::PoseAt(seenUs).openingDeg;
                if (!WithinTruth(r, truth)) {
                    seen.wrong++;
                    ADD_FAILURE() << "read " << r.angle << " +/- " << r.uncertainty << ", truth " << truth;
                }
            }};
}

} // namespace

// Every picture of six seconds (a whole period of the opening) is read within its truth.
TEST(FollowWedge, TheDemoWedgeReadsItsTruthAtEveryPicture)
{
    Harness h(OnTheWedge());
    instrument::NeedleWatch watch(h.Device());
    Seen seen;
    instrument::Follower follower(h.Device(), watch, instrument::Follower::Run::Here, Hooks(h, seen));
    h.Frames(1);
    std::string why;
    ASSERT_TRUE(follower.Start(ReadCornerNow(h, watch), why)) << why;
    h.Frames(90);
    EXPECT_GE(seen.read, 85);
    EXPECT_EQ(seen.wrong, 0);
    EXPECT_EQ(follower.Counts().lost, 0u);
    EXPECT_EQ(follower.Counts().followed, follower.Counts().searched);
    EXPECT_TRUE(seen.told.empty()) << seen.told.front();
}

// Beside the event thread, pictures that come while a search runs wait for none: the newest is
// searched when it ends, and every search ends in a reading or a loss.
TEST(FollowWedge, BesideTheEventThreadNothingPilesUp)
{
    Harness h(OnTheWedge());
    instrument::NeedleWatch watch(h.Device());
    Seen seen;
    instrument::Follower follower(h.Device(), watch, instrument::Follower::Run::Beside, Hooks(h, seen));
    h.Frames(1);
    std::string why;
    ASSERT_TRUE(follower.Start(ReadCornerNow(h, watch), why)) << why;
    h.Frames(45);
    // The last search's result comes back on the event thread.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const auto settled = [&] {
        const auto& c = follower.Counts();
        return c.followed + c.lost == c.searched && static_cast<std::uint64_t>(seen.read) == c.followed;
    };
    while (!settled() && std::chrono::steady_clock::now() < end) {
        h.RunMs(0);
        std::this_thread::yield();
    }
    const auto& c = follower.Counts();
    EXPECT_TRUE(settled()) << c.searched << " searched, " << c.followed << " followed, " << c.lost << " lost";
    EXPECT_EQ(c.pictures, c.searched + c.Dropped());
    EXPECT_GE(c.searched, 1u);
    EXPECT_EQ(seen.wrong, 0);
}

// The camera's source changing, a finger on the screen and Stop itself each end following, told
// once with why; nothing is read after.
TEST(FollowWedge, WhatStopsFollowingIsTold)
{
    Harness h(OnTheWedge());
    instrument::NeedleWatch watch(h.Device());
    Seen seen;
    instrument::Follower follower(h.Device(), watch, instrument::Follower::Run::Here, Hooks(h, seen));
    std::string why;
    EXPECT_FALSE(follower.Start(instrument::Plan{}, why));
    EXPECT_NE(why.find("no corner read"), std::string::npos);

    h.Frames(1);
    ASSERT_TRUE(follower.Start(ReadCornerNow(h, watch), why)) << why;
    h.Frames(3);
    h.Device().Camera().SetSource(std::make_unique<demo::TurningWedge>());
    h.Frames(2);
    EXPECT_FALSE(follower.Following());
    ASSERT_EQ(seen.told.size(), 1u);
    EXPECT_EQ(seen.told[0], "stopped following the corner: the camera's source changed");

    ASSERT_TRUE(follower.Start(ReadCornerNow(h, watch), why)) << why;
    h.Frames(2);
    h.Press(20, 20);
    h.Release(20, 20);
    EXPECT_FALSE(follower.Following());
    ASSERT_EQ(seen.told.size(), 2u);
    EXPECT_EQ(seen.told[1], "stopped following the corner: a finger touched the screen");
    const int read = seen.read;
    h.Frames(5);
    EXPECT_EQ(seen.read, read);

    ASSERT_TRUE(follower.Start(ReadCornerNow(h, watch), why)) << why;
    h.Frames(2);
    follower.Stop("L was pressed");
    follower.Stop("L was pressed");
    EXPECT_EQ(seen.told.size(), 3u) << "stopped once";
}

// `follow on` follows the corner read last, in step with the script's clock, each picture a
// reading in the trace with its state; before any corner it reads nothing, and says so.
TEST(FollowWedge, ScriptsFollowOnAndOff)
{
    headless::Script bad;
    std::string error;
    EXPECT_FALSE(headless::Script::Parse("follow\n", "s", bad, error));
    EXPECT_EQ(error, "s:1: expected: follow on|off");
    EXPECT_FALSE(headless::Script::Parse("follow maybe\n", "s", bad, error));

    Harness h(OnTheWedge());
    h.Frames(1);
    const demo::WedgePose pose = demo::TurningWedge::PoseAt(h.Device().Now() + 100000);
    const std::string text = "follow on\nwait 100\ncorner " + std::to_string(std::lround(pose.vertexX)) + " " +
                             std::to_string(std::lround(pose.vertexY)) +
                             "\nfollow on\nwait 1000\nfollow off\nwait 500\n";
    headless::Script script;
    ASSERT_TRUE(headless::Script::Parse(text, "s", script, error)) << error;
    std::vector<std::string> reports;
    h.Trace().Clear();
    const auto outcome = script.Run(h.Device(), [&](const std::string& line) { reports.push_back(line); });
    EXPECT_EQ(outcome.unread, 1);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], "s:1: no corner read to follow: read one with C first");
    EXPECT_EQ(reports[1], "s: stopped following the corner: line 6 says follow off");
    int followed = 0;
    std::int64_t offAt = 0;
    for (const trace::Event& e : h.Trace().events) {
        for (const auto& [k, v] : e.args) {
            if (e.type == trace::Event::Type::Finger && k == "state" && v == "\"followed\"") {
                followed++;
                offAt = std::max(offAt, e.timeUs);
            }
        }
    }
    EXPECT_GE(followed, 13) << "15 pictures a second for a second";
    EXPECT_LE(followed, 16);
    EXPECT_LE(offAt, h.Device().Now() - 500000) << "nothing read after follow off";
}
