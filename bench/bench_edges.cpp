// What finding one corner (`C`) or edge (`E`) costs on a 4000x3000 photo, as the finger does: the
// part of the picture within reach of the point at zoom 1, reduced for the detector, then the
// edges fitted at full resolution and checked straight, with the angle's uncertainty.
#include <benchmark/benchmark.h>

#include <cmath>

#include "instrument/EdgeFinder.h"
#include "support/Wedge.h"

namespace {

// A 12 MP photo's worth of pixels holding one blurred corner, the same for both benchmarks.
struct Photo12Mp {
    static constexpr int w = 4000, h = 3000;
    testing_support::Wedge wedge;
    std::vector<std::uint32_t> pixels;
    device::PixelView picture;
    Photo12Mp()
    {
        wedge.vertexX = 2101.3;
        wedge.vertexY = 1730.6;
        wedge.arm1Deg = 23.4;
        wedge.openingDeg = 71.9;
        wedge.blur = 1.2;
        pixels = testing_support::DrawWedge(wedge, w, h, 7);
        picture = device::PixelView{pixels.data(), w, h, w * 4};
    }
};

void BM_CornerOn4000x3000(benchmark::State& state)
{
    const Photo12Mp photo;
    // At zoom 1 a 4000x3000 photo shows a fifth of a pixel per picture pixel: the finger's
    // reach of 120 screen pixels is 600 picture pixels.
    const instrument::Search search{{photo.wedge.vertexX + 40, photo.wedge.vertexY - 30}, 600};
    for (auto _ : state) {
        benchmark::DoNotOptimize(instrument::FindCorner(photo.picture, search));
    }
}
BENCHMARK(BM_CornerOn4000x3000)->Unit(benchmark::kMillisecond);

// As the finger asks: pointed a few screen pixels off the corner, which must lie within 12
// screen pixels (60 picture pixels at zoom 1) of the point.
void BM_CornerUnderThePointOn4000x3000(benchmark::State& state)
{
    const Photo12Mp photo;
    const instrument::Search search{{photo.wedge.vertexX + 20, photo.wedge.vertexY - 15}, 600, 60};
    for (auto _ : state) {
        benchmark::DoNotOptimize(instrument::LookForCorner(instrument::CutPart(photo.picture, search), search));
    }
}
BENCHMARK(BM_CornerUnderThePointOn4000x3000)->Unit(benchmark::kMillisecond);

// `E` with the hub on the corner: the finger on an edge (reach 60 screen pixels, 300 picture
// pixels), or on the object's face 100 picture pixels from both, where the nearest edge through
// the hub is found away from the point and the line from the hub through the point is read too.
void BM_EdgeThroughTheHubOn4000x3000(benchmark::State& state)
{
    const Photo12Mp photo;
    const double a = photo.wedge.arm1Deg * device::kPi / 180, off = state.range(0);
    const device::PointD hub{photo.wedge.vertexX, photo.wedge.vertexY};
    const device::PointD at{hub.x + 400 * std::cos(a) - off * std::sin(a),
                            hub.y - 400 * std::sin(a) - off * std::cos(a)};
    const instrument::Search search{at, 300, 60};
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            instrument::LookForEdgeThrough(instrument::CutPart(photo.picture, {at, 300}), search, hub, 20));
    }
}
BENCHMARK(BM_EdgeThroughTheHubOn4000x3000)->Arg(0)->Arg(100)->ArgName("off")->Unit(benchmark::kMillisecond);

} // namespace
