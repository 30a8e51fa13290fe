// What a frame costs: from the camera's frame callback to the composed screen, beside a
// memcpy of one 800x480 ARGB frame measured in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "BenchApp.h"

double MemcpyNs()
{
    static double ns = [] {
        std::vector<std::uint8_t> a(kFrameBytes, 1), b(kFrameBytes, 2);
        for (int i = 0; i < 20; i++) {
            std::memcpy(b.data(), a.data(), kFrameBytes);
        }
        const int n = 400;
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < n; i++) {
            std::memcpy(b.data(), a.data(), kFrameBytes);
            benchmark::DoNotOptimize(b.data());
            benchmark::ClobberMemory();
        }
        const auto t1 = std::chrono::steady_clock::now();
        return std::chrono::duration<double, std::nano>(t1 - t0).count() / n;
    }();
    return ns;
}

namespace {

void BM_MemcpyFrame(benchmark::State& state)
{
    std::vector<std::uint8_t> a(kFrameBytes, 1), b(kFrameBytes, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), kFrameBytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
}
BENCHMARK(BM_MemcpyFrame);

// One whole frame: the form draws its scene and readout, the screen composes it.
void RunFrames(benchmark::State& state, Running& app)
{
    Osp::Base::ByteBuffer data;
    double totalNs = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        app.form->OnCameraPreviewed(data, Osp::Base::E_SUCCESS);
        benchmark::DoNotOptimize(app.dev->GetScreen().Compose().pixels);
        totalNs += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
    }
    state.counters["memcpys"] = totalNs / state.iterations() / MemcpyNs();
}

// At start: the needles at 0 and 90 degrees, quarter turns.
void BM_Frame(benchmark::State& state)
{
    Running app(static_cast<float>(state.range(0)));
    RunFrames(state, app);
}
BENCHMARK(BM_Frame)->Arg(-90)->Arg(0)->ArgName("pitch");

// With the needles at odd angles, as they are once a user has measured: filtered turns.
void BM_FrameMeasured(benchmark::State& state)
{
    Running app(static_cast<float>(state.range(0)));
    MainFormInspector::SetPins(*app.form, 37.4, 142.6, 251.3, 190.2);
    RunFrames(state, app);
}
BENCHMARK(BM_FrameMeasured)->Arg(-90)->Arg(0)->ArgName("pitch");

} // namespace

BENCHMARK_MAIN();
