// What a frame costs: from the camera's frame callback to the composed screen, beside a
// memcpy of one 800x480 ARGB frame measured in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "BenchApp.h"

namespace {
std::vector<std::uint8_t>& From()
{
    static std::vector<std::uint8_t> v(kFrameBytes, 1);
    return v;
}
std::vector<std::uint8_t>& To()
{
    static std::vector<std::uint8_t> v(kFrameBytes, 2);
    return v;
}
} // namespace

double OneMemcpyNs()
{
    const auto t0 = std::chrono::steady_clock::now();
    std::memcpy(To().data(), From().data(), kFrameBytes);
    benchmark::DoNotOptimize(To().data());
    benchmark::ClobberMemory();
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
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
    double totalNs = 0, memcpyNs = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        app.form->OnCameraPreviewed(data, Osp::Base::E_SUCCESS);
        benchmark::DoNotOptimize(app::Platform::Of(*app.dev).Screen().Compose().pixels);
        totalNs += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
        // The yardstick is measured alongside, so both see the same machine.
        state.PauseTiming();
        memcpyNs += OneMemcpyNs();
        state.ResumeTiming();
    }
    state.counters["memcpy_ns"] = memcpyNs / state.iterations();
    state.counters["memcpys"] = totalNs / memcpyNs;
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
    MainFormInspector f(*app.form);
    f.landscapePin = 37.4;
    f.landscapeOrigin = 142.6;
    f.portraitPin = 251.3;
    f.portraitOrigin = 190.2;
    RunFrames(state, app);
}
BENCHMARK(BM_FrameMeasured)->Arg(-90)->Arg(0)->ArgName("pitch");

// One camera frame as the window shows it: the camera draws what changed (on the demo scene,
// the watch when it beats), the form its canvas, and the screen composes only the changes
// into a picture it keeps, as the window keeps its texture.
void BM_LiveFrameInTheWindow(benchmark::State& state)
{
    Running app(-90.0f);
    device::Display& display = app.dev->GetDisplay();
    std::vector<std::uint32_t> kept(800 * 480);
    const device::PixelView view{kept.data(), 800, 480, 800 * 4};
    device::PixelRect changed;
    display.ComposeChangesInto(view, false, changed);
    double totalNs = 0, memcpyNs = 0, changedPixels = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        app.dev->RunFor(device::kMicrosPerSecond / 15);
        display.ComposeChangesInto(view, true, changed);
        benchmark::DoNotOptimize(kept.data());
        totalNs += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
        changedPixels += changed.Empty() ? 0 : double(changed.width) * changed.height;
        state.PauseTiming();
        memcpyNs += OneMemcpyNs();
        state.ResumeTiming();
    }
    state.counters["memcpy_ns"] = memcpyNs / state.iterations();
    state.counters["memcpys"] = totalNs / memcpyNs;
    state.counters["changed_px"] = changedPixels / state.iterations();
}
BENCHMARK(BM_LiveFrameInTheWindow);

} // namespace

BENCHMARK_MAIN();
