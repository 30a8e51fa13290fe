// What following a corner costs at 1280x720, beside what finding it first costs: a video's frame
// copied as the camera lends it, the part about where the corner is heading cut and searched,
// the corner matched with the last one and the needles' plan made.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "instrument/Finger.h"
#include "instrument/Follow.h"
#include "support/Wedge.h"

namespace {

constexpr int kW = 1280, kH = 720;
constexpr int kFrames = 8;

// Eight frames of a wedge moving 2 pixels and turning half a degree a frame, played round.
struct Moving720p {
    std::vector<testing_support::Wedge> poses;
    std::vector<std::vector<std::uint32_t>> frames;
    Moving720p()
    {
        for (int i = 0; i < kFrames; i++) {
            testing_support::Wedge w;
            w.vertexX = 640.3 + 2 * i;
            w.vertexY = 420.6 - i;
            w.arm1Deg = 25 + 0.5 * i;
            w.openingDeg = 80 - 0.3 * i;
            w.blur = 1.0;
            poses.push_back(w);
            frames.push_back(testing_support::DrawWedge(w, kW, kH, 5 + i));
        }
    }
};

instrument::Request Asked(device::PointD screen)
{
    instrument::Request r;
    r.screen = screen;
    r.dial = instrument::Dial::Half;
    return r;
}

// `C` at zoom 1: 1280x720 covers the 800x480 screen, 1.6 picture pixels to a screen pixel, so
// the finger's reach of 120 screen pixels is 192 picture pixels.
void BM_FirstFindOn1280x720(benchmark::State& state)
{
    const Moving720p video;
    const testing_support::Wedge& w = video.poses[0];
    std::vector<std::uint32_t> lent(std::size_t(kW) * kH);
    for (auto _ : state) {
        std::memcpy(lent.data(), video.frames[0].data(), lent.size() * 4);
        instrument::Pending p;
        p.request = Asked({w.vertexX / 1.6 + 3, w.vertexY / 1.6 - 2});
        p.looked = true;
        p.size = {kW, kH};
        p.search = {{w.vertexX + 5, w.vertexY - 3}, 192, 19.2};
        p.part = instrument::CutPart({lent.data(), kW, kH, kW * 4}, {p.search.near, 192});
        benchmark::DoNotOptimize(instrument::Finish(p));
    }
}
BENCHMARK(BM_FirstFindOn1280x720)->Unit(benchmark::kMillisecond);

// One followed frame: the corner found again near where it is heading, as every new picture
// asks while following.
void BM_FollowStepOn1280x720(benchmark::State& state)
{
    const Moving720p video;
    std::vector<std::uint32_t> lent(std::size_t(kW) * kH);
    const instrument::Corner first =
        *instrument::FindCorner({const_cast<std::uint32_t*>(video.frames[0].data()), kW, kH, kW * 4},
                                {{video.poses[0].vertexX, video.poses[0].vertexY}, 192, 19.2});
    instrument::Track track{first, std::nullopt, {kW, kH}, 0};
    int i = 0;
    std::int64_t lost = 0;
    for (auto _ : state) {
        i = (i + 1) % kFrames;
        std::memcpy(lent.data(), video.frames[i].data(), lent.size() * 4);
        const instrument::FollowStep step = instrument::FinishFollow(
            instrument::PrepareFollow({lent.data(), kW, kH, kW * 4}, Asked({400, 469}), track));
        if (step.corner) {
            track.before = track.last.vertex;
            track.last = *step.corner;
        } else {
            lost++;
        }
        // Round the loop the wedge jumps back to its first frame: looked for afresh there.
        if (i == kFrames - 1) {
            track = {first, std::nullopt, {kW, kH}, 0};
            i = -1;
        }
    }
    state.counters["lost"] = static_cast<double>(lost);
}
BENCHMARK(BM_FollowStepOn1280x720)->Unit(benchmark::kMillisecond);

} // namespace
