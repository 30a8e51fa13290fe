// The test harness: the real application on the real platform, headless.
#include "support/Harness.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "demo/DemoScene.h"
#include "support/Scratch.h"
#include "ui/TouchRouter.h"

namespace testing_support {

LogCapture::LogCapture()
{
    oslog::SetStderr(false);
    m_token = oslog::AddHook([this](const oslog::Record& r) { records.push_back(r); });
}

LogCapture::~LogCapture()
{
    oslog::RemoveHook(m_token);
    oslog::SetStderr(true);
}

std::vector<std::string> LogCapture::Messages() const
{
    std::vector<std::string> v;
    for (const auto& r : records) {
        v.push_back(r.message);
    }
    return v;
}

int LogCapture::Count(const std::string& part) const
{
    int n = 0;
    for (const auto& r : records) {
        n += r.message.find(part) != std::string::npos;
    }
    return n;
}

TraceRecorder::TraceRecorder()
{
    m_token = trace::AddSink([this](const trace::Event& e) { events.push_back(e); });
}

TraceRecorder::~TraceRecorder() { trace::RemoveSink(m_token); }

int TraceRecorder::Count(const std::string& name) const
{
    int n = 0;
    for (const auto& e : events) {
        n += e.name == name;
    }
    return n;
}

std::vector<std::string> TraceRecorder::Args(const std::string& name, const std::string& arg) const
{
    std::vector<std::string> v;
    for (const auto& e : events) {
        if (e.name != name) {
            continue;
        }
        for (const auto& [k, value] : e.args) {
            if (k == arg) {
                v.push_back(value);
            }
        }
    }
    return v;
}

std::string CopyRes(const std::string& folder, const std::vector<std::string>& leaveOut)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(ProcessScratch().Path()) / folder;
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto& entry : fs::directory_iterator(SourceRes())) {
        const std::string name = entry.path().filename().string();
        if (std::find(leaveOut.begin(), leaveOut.end(), name) == leaveOut.end()) {
            fs::copy_file(entry.path(), dir / name);
        }
    }
    return dir.string();
}

std::string SourceRes() { return std::string(VELTORA_SOURCE_DIR) + "/Res"; }

Harness::Harness(HarnessOptions options)
{
    device::DeviceConfig config;
    config.clock = options.clock;
    config.resDir = options.resDir;
    config.tell = options.tell;
    if (options.cameraSource) {
        config.cameraSource = options.cameraSource;
    } else if (options.camera) {
        config.cameraSource = [] { return std::make_unique<demo::DemoScene>(); };
    }
    m_pDevice = std::make_unique<device::Device>(config);
    if (options.startApp) {
        m_pRuntime = std::make_unique<app::Runtime>(*m_pDevice, Veltora::CreateInstance, nullptr);
        m_pRuntime->Start();
    }
}

Harness::~Harness() { Finish(); }

void Harness::Finish()
{
    if (m_pRuntime) {
        m_pRuntime->Finish();
        m_pRuntime.reset();
    }
}

Veltora& Harness::App() { return *static_cast<Veltora*>(m_pRuntime->App()); }

MainForm& Harness::Form() { return *static_cast<MainForm*>(Screen().CurrentForm()); }

void Harness::Frames(int n)
{
    const auto target = m_pDevice->Camera().FramesProduced() + static_cast<std::uint64_t>(n);
    for (int guard = 0; guard < n * 20 && m_pDevice->Camera().FramesProduced() < target; guard++) {
        m_pDevice->RunFor(1000 * 1000 / 15 / 4 + 1);
    }
}

void Harness::Press(int x, int y)
{
    m_pDevice->PostTouch(device::Device::TouchPhase::Press, x, y);
    m_pDevice->RunFor(0);
}

void Harness::MoveTo(int x, int y)
{
    m_pDevice->PostTouch(device::Device::TouchPhase::Move, x, y);
    m_pDevice->RunFor(0);
}

void Harness::Release(int x, int y)
{
    m_pDevice->PostTouch(device::Device::TouchPhase::Release, x, y);
    m_pDevice->RunFor(0);
}

void Harness::Drag(int x0, int y0, int x1, int y1, int steps)
{
    Press(x0, y0);
    for (int i = 1; i <= steps; i++) {
        MoveTo(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
    }
    Release(x1, y1);
}

void Harness::Tap(int x, int y)
{
    Press(x, y);
    Release(x, y);
}

void Harness::Tilt(float pitch)
{
    Pitch(pitch);
    RunMs(500);
}

std::vector<std::string> Harness::ShownDraws() const
{
    std::vector<std::string> v;
    for (const auto& op : const_cast<Harness*>(this)->Screen().ShownCanvas()) {
        std::string s = op.bitmap->name + "@" + std::to_string(op.point.x) + "," + std::to_string(op.point.y);
        if (op.turned) {
            s += "/" + std::to_string(op.pivot.x) + "," + std::to_string(op.pivot.y) + ":" + std::to_string(op.angle);
        }
        v.push_back(s);
    }
    return v;
}

} // namespace testing_support
