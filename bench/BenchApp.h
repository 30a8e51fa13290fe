// What the benchmarks share: the application running on a headless device on the demo
// scene, and the cost of one memcpy of a screen, the yardstick every figure is given in.
#pragma once

#include <memory>

#include "MainForm.h"
#include "Veltora.h"
#include "app/Platform.h"
#include "app/Runtime.h"
#include "base/Log.h"
#include "demo/DemoScene.h"
#include "device/Device.h"
#include "support/FormFields.h"

constexpr size_t kFrameBytes = 800 * 480 * 4;

// Nanoseconds for one memcpy of an 800x480 ARGB frame, timed now.
double OneMemcpyNs();

// The application running on a headless device, on the demo scene.
struct Running {
    explicit Running(float pitch)
    {
        oslog::SetStderr(false);
        device::DeviceConfig config;
        config.resDir = VELTORA_SOURCE_DIR "/Res";
        config.cameraSource = [] { return std::make_unique<demo::DemoScene>(); };
        config.initialPitch = pitch;
        dev = std::make_unique<device::Device>(config);
        runtime = std::make_unique<app::Runtime>(*dev, Veltora::CreateInstance, nullptr);
        runtime->Start();
        dev->RunFor(1000 * device::kMicrosPerMilli); // laid out, frames flowing
        form = static_cast<MainForm*>(app::Platform::Of(*dev).Screen().CurrentForm());
        cameraPanel = MainFormInspector(*form).cameraPanel;
    }
    ~Running()
    {
        runtime.reset();
        dev.reset();
        oslog::SetStderr(true);
    }
    std::unique_ptr<device::Device> dev;
    std::unique_ptr<app::Runtime> runtime;
    MainForm* form = nullptr;
    Osp::Ui::Controls::OverlayPanel* cameraPanel = nullptr;
};
