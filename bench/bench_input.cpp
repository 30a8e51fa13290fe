// What a finger's move costs while the picture is live (the angle alone) and while it is
// held (the whole overlay redrawn and the screen composed), and what start-up costs.
#include <benchmark/benchmark.h>

#include <chrono>

#include "BenchApp.h"

namespace {

void Move(Running& app, int step)
{
    // Around the measuring pin's zone, so a pin is held and turns on every move.
    const int x = 300 + (step % 200);
    const Osp::Ui::TouchEventInfo info;
    app.form->OnTouchMoved(*app.cameraPanel, Osp::Graphics::Point(x, 400), info);
}

void BM_TouchMoveLive(benchmark::State& state)
{
    Running app(-90);
    int step = 0;
    for (auto _ : state) {
        Move(app, step++);
    }
}
BENCHMARK(BM_TouchMoveLive);

// Held: no frames come, so each move clears, draws and shows the overlay; the screen is
// then composed as a window would to show it.
void BM_TouchMoveHeld(benchmark::State& state)
{
    Running app(-90);
    MainFormInspector(*app.form).holdOn = true;
    app.dev->RunFor(100 * device::kMicrosPerMilli); // the frame that freezes the picture
    int step = 0;
    double totalNs = 0, memcpyNs = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        Move(app, step++);
        benchmark::DoNotOptimize(app::Platform::Of(*app.dev).Screen().Compose().pixels);
        totalNs += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
        state.PauseTiming();
        memcpyNs += OneMemcpyNs();
        state.ResumeTiming();
    }
    state.counters["memcpys"] = totalNs / memcpyNs;
}
BENCHMARK(BM_TouchMoveHeld);

// From entering the application to the first composed frame, headless.
void BM_StartUp(benchmark::State& state)
{
    oslog::SetStderr(false);
    for (auto _ : state) {
        device::DeviceConfig config;
        config.resDir = VELTORA_SOURCE_DIR "/Res";
        config.cameraSource = [] { return std::make_unique<demo::DemoScene>(); };
        device::Device dev(config);
        app::Runtime runtime(dev, Veltora::CreateInstance, nullptr);
        runtime.Start();
        const auto shows = app::Platform::Of(dev).Screen().CanvasShows();
        while (app::Platform::Of(dev).Screen().CanvasShows() == shows) {
            dev.RunFor(10 * device::kMicrosPerMilli);
        }
        benchmark::DoNotOptimize(app::Platform::Of(dev).Screen().Compose().pixels);
        state.PauseTiming();
        runtime.Finish();
        state.ResumeTiming();
    }
    oslog::SetStderr(true);
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond);

} // namespace
