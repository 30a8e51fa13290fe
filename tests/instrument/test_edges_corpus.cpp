// Real photographs nobody here made: every corner of the corpus, and each of its edges, is read
// within its independent truth widened by the reading's own uncertainty, or refused; pointers
// beside a corner are refused; and the truth tool itself covers drawn corners with its stated
// interval.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "Truth.h"
#include "codec/ImageCodec.h"
#include "device/Geometry.h"
#include "instrument/EdgeFinder.h"
#include "support/Wedge.h"

namespace {

using device::kPi;

// The corpus's cases and its photos, each decoded once.
struct Corpus {
    nlohmann::json json;
    std::map<std::string, codec::DecodedImage> photos;

    // Empty when the corpus or a photo cannot be read (the reason is the test's failure).
    std::string Load()
    {
        std::ifstream in(std::string(VELTORA_SOURCE_DIR) + "/tests/data/corners/corpus.json");
        if (!in) {
            return "the corpus file is missing";
        }
        json = nlohmann::json::parse(in);
        for (const auto& c : json.at("cases")) {
            const std::string photo = c.at("photo");
            if (photos.count(photo)) {
                continue;
            }
            const auto colon = photo.find(':');
            const std::string path =
                json.at("roots").at(photo.substr(0, colon)).get<std::string>() + "/" + photo.substr(colon + 1);
            std::string reason;
            if (!codec::DecodeImageFile(path, photos[photo], reason, {}, codec::Recognise::ByContent)) {
                return path + ": " + reason + " (scripts/install-deps.sh installs the photos' packages)";
            }
        }
        return "";
    }
    device::PixelView View(const nlohmann::json& c)
    {
        codec::DecodedImage& im = photos.at(c.at("photo"));
        return {im.pixels.data(), im.width, im.height, im.width * 4};
    }
};

double Opening(device::PointD a, device::PointD b)
{
    return std::acos(std::clamp(a.x * b.x + a.y * b.y, -1.0, 1.0)) * 180 / kPi;
}

} // namespace

// At 1, 1.7 and 2.5 screen pixels a picture pixel, as the finger looks (reach 120 screen
// pixels, meeting point within 12), the pointer as close to the corner on the screen at each.
// Where the truth is known to a tenth the readout is that tenth or the next; pointers beside a
// corner are refused. Every count is held where it stands today: of 396 readings 4 are wrong,
// 1 of a corner (a floppy disk's corner under a scrap of paper) and 3 of pointers beside a corner
// (2 px past the stop of a T; in a shadow's faint corner beside a disk), and 161 of the 255
// readings of clear corners are read right. The one corner known to a tenth (a bridge's cable
// meeting its strut under a clamp) is refused at every zoom.
// A floor to raise towards none wrong and nine in ten read, not the goal.
TEST(EdgesCorpus, RealPhotosReadWithinTheirTruthOrRefused)
{
    Corpus corpus;
    const std::string failed = corpus.Load();
    ASSERT_EQ(failed, "");
    int wrong = 0, clear = 0, clearRead = 0, clearRight = 0, beside = 0, besideRefused = 0, tenthCases = 0, tenthOk = 0;
    for (double scale : {1.0, 1.7, 2.5}) {
        for (const auto& c : corpus.json.at("cases")) {
            const device::PixelView view = corpus.View(c);
            // A user points as closely on screen at every zoom: zoomed in, the pointer lies nearer
            // the corner in the picture.
            device::PointD pointer{c.at("pointer")[0], c.at("pointer")[1]};
            if (c.contains("vertex")) {
                const device::PointD v{c.at("vertex")[0], c.at("vertex")[1]};
                pointer = v + (1 / scale) * (pointer - v);
            }
            const instrument::Search search{pointer, 120 / scale, 12 / scale};
            const instrument::CornerLook look = instrument::LookForCorner(
                instrument::CutPart(view, {search.near, std::max(search.radius, 120.0)}), search);
            const std::string id = c.at("id");
            char line[200];
            if (c.value("refuse", false)) {
                beside++;
                besideRefused += !look.corner;
                wrong += look.corner.has_value();
                std::snprintf(line, sizeof line, "%-9s refuse           %s", id.c_str(),
                              look.corner ? "READ" : "refused");
            } else {
                const double truth = c.at("truth"), u = c.at("u");
                const bool isClear = c.value("clear", false);
                clear += isClear;
                if (look.corner) {
                    const double read = Opening(look.corner->arm1, look.corner->arm2);
                    const bool off = std::abs(read - truth) > u + look.corner->uncertainty;
                    wrong += off;
                    clearRead += isClear;
                    clearRight += isClear && !off;
                    if (u <= 0.1) {
                        tenthCases++;
                        tenthOk += std::abs(int(read * 10) - int(truth * 10)) <= 1;
                    }
                    std::snprintf(line, sizeof line, "%-9s %7.2f ± %-5.2f  %7.2f ± %-5.2f%s", id.c_str(), truth, u,
                                  read, look.corner->uncertainty, off ? "  WRONG" : "");
                } else {
                    std::snprintf(line, sizeof line, "%-9s %7.2f ± %-5.2f  refused (%d, bend %.2f)", id.c_str(), truth,
                                  u, int(look.why), look.bend);
                }
            }
            std::printf("[ corpus x%.1f ] %s\n", scale, line);
        }
    }
    std::printf(
        "[ corpus ] wrong %d, clear corners read %d of %d (%d right), beside refused %d of %d, tenth %d of %d\n", wrong,
        clearRead, clear, clearRight, besideRefused, beside, tenthOk, tenthCases);
    EXPECT_LE(wrong, 4);
    EXPECT_LE(beside - besideRefused, 3);
    EXPECT_GE(clearRight, 161);
    EXPECT_EQ(tenthOk, tenthCases);
}

// Each arm of the corpus's corners as an edge, as a user lays a needle along it with `E`: the
// hub on the corner, the finger on the edge (reach 60 screen pixels, the line within 4 of the
// hub, the fitted stretch within 12 of the finger). The truth is the arm alone, from the same
// independent fit as the corners'; a reading outside its interval widened by the reading's own
// is wrong. Every count is held where it stands today: of 606 readings 306 are read and 9 are
// wrong, 3 edges at every zoom, each read over another stretch than the one by the corner and
// said to be surer than the edge is straight there (two mortar lines read over 95 px that turn
// by 0.7 and 1.4 degrees near the corner; a disk's side read over 59 px, 0.2 degrees from its
// 30 px by the corner).
TEST(EdgesCorpus, RealEdgesReadWithinTheirTruthOrRefused)
{
    Corpus corpus;
    const std::string failed = corpus.Load();
    ASSERT_EQ(failed, "");
    std::map<const codec::DecodedImage*, cornertruth::Gray> grays;
    int edges = 0, read = 0, wrong = 0;
    std::map<int, int> refused;
    for (const auto& c : corpus.json.at("cases")) {
        if (!c.contains("arms") || !c.contains("vertex")) {
            continue;
        }
        const codec::DecodedImage& im = corpus.photos.at(c.at("photo"));
        if (!grays.count(&im)) {
            grays[&im] = cornertruth::Gray::FromArgb(im.pixels.data(), im.width, im.height);
        }
        const device::PixelView view = corpus.View(c);
        for (int k = 0; k < 2; k++) {
            const auto& a = c.at("arms")[k];
            const cornertruth::ArmFit truth =
                cornertruth::FitArm(grays[&im], {a[0], a[1]}, {a[2], a[3]}, c.value("across", 3.0));
            if (!truth.ok) {
                continue;
            }
            // The finger on the middle of the hand-placed stretch, on the fitted edge; the hub on
            // the corner's meeting point.
            const device::PointD dir{truth.direction.x, truth.direction.y};
            const device::PointD on{truth.point.x, truth.point.y};
            const device::PointD middle{0.5 * (a[0].get<double>() + a[2].get<double>()),
                                        0.5 * (a[1].get<double>() + a[3].get<double>())};
            const device::PointD finger = on + device::Dot(middle - on, dir) * dir;
            const device::PointD hub{c.at("vertex")[0], c.at("vertex")[1]};
            for (double scale : {1.0, 1.7, 2.5}) {
                const instrument::Search search{finger, 60 / scale, 12 / scale};
                const instrument::EdgeLook look = instrument::LookForEdgeThrough(
                    instrument::CutPart(view, {search.near, std::max(search.radius, 120.0)}), search, hub, 4 / scale);
                edges++;
                if (!look.edge) {
                    refused[int(look.why)]++;
                    continue;
                }
                read++;
                const instrument::Edge& e = *look.edge;
                const double apart = std::acos(std::min(1.0, std::abs(device::Dot(e.direction, dir)))) * 180 / kPi;
                const bool off = apart > truth.halfWidth95 + e.uncertainty;
                wrong += off;
                if (off) {
                    std::printf("[ edges x%.1f ] %-9s arm %d: %5.2f° off, truth ±%.2f, read ±%.2f over %.0f px\n",
                                scale, c.at("id").get<std::string>().c_str(), k + 1, apart, truth.halfWidth95,
                                e.uncertainty, device::Length(e.to - e.from));
                }
            }
        }
    }
    std::printf("[ edges ] %d edges: %d read, %d wrong; refused:", edges, read, wrong);
    const char* const kWhy[] = {"", "nothing", "away", "bends", "short", "faint", "two"};
    for (const auto& [why, n] : refused) {
        std::printf(" %s %d", kWhy[why], n);
    }
    std::printf("\n");
    EXPECT_LE(wrong, 9);
    EXPECT_GE(read, 306);
}

// The truth tool on drawn corners of known angle: its 95 % interval holds the drawn angle in
// nearly all of them, and it is not so wide as to say nothing.
TEST(EdgesCorpus, TheTruthToolCoversDrawnCorners)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    const int side = 200, cases = 40;
    int covered = 0;
    double widest = 0;
    for (int i = 0; i < cases; i++) {
        testing_support::Wedge w;
        w.vertexX = 100.3;
        w.vertexY = 100.6;
        w.arm1Deg = 360 * uni(rng);
        w.openingDeg = 40 + 100 * uni(rng);
        w.blur = 0.8 + 0.8 * uni(rng);
        w.noise = 6;
        const auto pixels = testing_support::DrawWedge(w, side, side, rng());
        const auto g = cornertruth::Gray::FromArgb(pixels.data(), side, side);
        // Hand-placed stretches are a pixel or two off the edge and start clear of the corner.
        const auto stretch = [&](double deg) {
            const double a = deg * kPi / 180, dx = std::cos(a), dy = -std::sin(a), nx = -dy * 1.5, ny = dx * 1.5;
            return std::pair<cornertruth::Point, cornertruth::Point>{
                {w.vertexX + 8 * dx + nx, w.vertexY + 8 * dy + ny},
                {w.vertexX + 60 * dx + nx, w.vertexY + 60 * dy + ny}};
        };
        const auto [a0, a1] = stretch(w.arm1Deg);
        const auto [b0, b1] = stretch(w.arm1Deg + w.openingDeg);
        const cornertruth::CornerTruth t = cornertruth::Measure(g, a0, a1, b0, b1, 4);
        ASSERT_TRUE(t.ok) << t.why;
        covered += std::abs(t.opening - w.openingDeg) <= t.halfWidth95;
        widest = std::max(widest, t.halfWidth95);
        EXPECT_NEAR(t.opening, w.openingDeg, 1.0) << "case " << i;
    }
    std::printf("[ truth ] %d of %d drawn corners within the stated interval, widest ±%.3f°\n", covered, cases, widest);
    EXPECT_GE(covered, cases * 9 / 10);
    EXPECT_LT(widest, 1.5);
}
