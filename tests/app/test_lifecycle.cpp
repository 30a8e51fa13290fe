// The application's life on the device: the form is built before anything reaches it,
// background and foreground pause and resume the preview in any state, and every way
// of ending reaches the application and its form.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "demo/DemoScene.h"
#include "support/Harness.h"

using namespace Osp::App;
using namespace Osp::Base;
using namespace Osp::Media;
using testing_support::Harness;

namespace {

// A small application that writes down what the platform tells it.
std::vector<std::string>* g_events = nullptr;

class ProbeForm : public Osp::Ui::Controls::Form, public ICameraEventListener {
public:
    result OnInitializing() override
    {
        g_events->push_back("form:init");
        camera.Construct(*this, CAMERA_PRIMARY);
        camera.PowerOn();
        camera.StartPreview(nullptr, true);
        return E_SUCCESS;
    }
    result OnTerminating() override
    {
        g_events->push_back("form:term");
        return E_SUCCESS;
    }
    void OnCameraAutoFocused(bool) override {}
    void OnCameraPreviewed(ByteBuffer&, result) override
    {
        if (inFrame) {
            g_events->push_back("frame:nested");
        }
        inFrame = true;
        frames++;
        threads.push_back(std::this_thread::get_id());
        inFrame = false;
    }
    void OnCameraCaptured(ByteBuffer&, result) override {}
    void OnCameraErrorOccurred(CameraErrorReason) override {}

    Camera camera;
    int frames = 0;
    bool inFrame = false;
    std::vector<std::thread::id> threads;
};

class ProbeApp : public Application {
public:
    static Application* Create() { return new ProbeApp(); }
    bool OnAppInitializing(AppRegistry&) override
    {
        g_events->push_back("app:init");
        form = new ProbeForm();
        form->Construct(Osp::Ui::Controls::FORM_STYLE_NORMAL);
        GetAppFrame()->GetFrame()->AddControl(*form);
        g_events->push_back("app:added");
        GetAppFrame()->GetFrame()->SetCurrentForm(*form);
        return true;
    }
    bool OnAppTerminating(AppRegistry&, bool) override
    {
        g_events->push_back("app:term");
        return true;
    }
    ~ProbeApp() override { g_events->push_back("app:deleted"); }
    ProbeForm* form = nullptr;
};

class ProbeRun {
public:
    explicit ProbeRun(device::Device::Driver driver = {}) : dev(Config())
    {
        g_events = &events;
        dev.SetDriver(std::move(driver));
    }
    ~ProbeRun() { g_events = nullptr; }
    static device::DeviceConfig Config()
    {
        device::DeviceConfig c;
        c.cameraSource = [] { return std::make_unique<demo::DemoScene>(); };
        return c;
    }
    result Execute() { return Application::Execute(ProbeApp::Create, nullptr, 1); }

    testing_support::LogCapture log;
    std::vector<std::string> events;
    device::Device dev;
};

const std::vector<std::string> kWholeLife = {"app:init", "form:init", "app:added",
                                             "app:term", "form:term", "app:deleted"};

} // namespace

TEST(Lifecycle, FormIsInitializedWhenAddedAndEveryEndingTerminatesInOrder)
{
    // The driver returning (end of a headless run).
    {
        ProbeRun run([](device::Device& d) { d.RunFor(100 * device::kMicrosPerMilli); });
        EXPECT_EQ(run.Execute(), E_SUCCESS);
        EXPECT_EQ(run.events, kWholeLife);
    }
    // Termination asked for from a callback (the window closing, Application::Terminate).
    {
        ProbeRun run;
        run.dev.Loop().PostAfter(50 * device::kMicrosPerMilli, [] { Application::GetInstance()->Terminate(); });
        EXPECT_EQ(run.Execute(), E_SUCCESS);
        EXPECT_EQ(run.events, kWholeLife);
    }
    // Termination from another thread (a signal), while the loop runs on real time.
    {
        device::DeviceConfig c = ProbeRun::Config();
        c.clock = device::ClockKind::Real;
        std::vector<std::string> events;
        g_events = &events;
        testing_support::LogCapture log;
        device::Device dev(c);
        std::thread signaller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            dev.RequestTermination();
        });
        EXPECT_EQ(Application::Execute(ProbeApp::Create, nullptr, 1), E_SUCCESS);
        signaller.join();
        EXPECT_EQ(events, kWholeLife);
        g_events = nullptr;
    }
}

TEST(Lifecycle, NothingPostedForTheApplicationRunsAfterItEnded)
{
    ProbeRun run([](device::Device& d) {
        // A touch and a foreground queued far in the future, then the run ends.
        d.Loop().PostAfter(10 * device::kMicrosPerSecond, [] { g_events->push_back("late"); });
        d.RunFor(100 * device::kMicrosPerMilli);
    });
    run.Execute();
    EXPECT_EQ(run.events, kWholeLife);
    EXPECT_FALSE(run.dev.Loop().HasPending());
    EXPECT_EQ(Application::GetInstance(), nullptr);
}

TEST(Lifecycle, PreviewFramesComeAtFifteenASecondOneAtATimeOnTheEventThread)
{
    ProbeForm* form = nullptr;
    int afterOneSecond = 0, afterStop = 0;
    ProbeRun run([&](device::Device& d) {
        form = static_cast<ProbeApp*>(Application::GetInstance())->form;
        d.RunFor(device::kMicrosPerSecond);
        afterOneSecond = form->frames;
        d.RunFor(device::kMicrosPerSecond);
        form->camera.StopPreview();
        afterStop = form->frames;
        d.RunFor(2 * device::kMicrosPerSecond);
        EXPECT_EQ(form->frames, afterStop) << "frames arrived while stopped";
        form->camera.StartPreview(nullptr, true);
        d.RunFor(device::kMicrosPerSecond);
        EXPECT_EQ(form->frames, afterStop + 15);
        for (auto id : form->threads) {
            EXPECT_EQ(id, std::this_thread::get_id());
        }
    });
    run.Execute();
    EXPECT_EQ(afterOneSecond, 15);
    EXPECT_EQ(afterStop, 30);
    for (const auto& e : run.events) {
        EXPECT_NE(e, "frame:nested");
    }
}

TEST(Lifecycle, BackgroundStopsAndForegroundRestartsThePreviewInEveryState)
{
    Harness h;
    auto f = h.Inspect();
    h.Frames(2);
    ASSERT_EQ(f.camera->GetState(), CAMERA_STATE_PREVIEW);

    // Live.
    h.Device().PostBackground();
    h.RunMs(0);
    EXPECT_EQ(f.camera->GetState(), CAMERA_STATE_INITIALIZED);
    const auto frames = h.Device().Camera().FramesProduced();
    h.RunMs(1000);
    EXPECT_EQ(h.Device().Camera().FramesProduced(), frames);
    h.Device().PostForeground();
    h.RunMs(1000);
    EXPECT_EQ(f.camera->GetState(), CAMERA_STATE_PREVIEW);
    EXPECT_EQ(h.Device().Camera().FramesProduced(), frames + 15);

    // Held: the foreground restarts it anyway; the next frame stops it again.
    f.holdOn = true;
    h.Frames(1);
    ASSERT_EQ(f.camera->GetState(), CAMERA_STATE_INITIALIZED);
    h.Device().PostBackground();
    h.Device().PostForeground();
    h.RunMs(0);
    EXPECT_EQ(f.camera->GetState(), CAMERA_STATE_PREVIEW);
    h.Frames(1);
    EXPECT_EQ(f.camera->GetState(), CAMERA_STATE_INITIALIZED);
    EXPECT_TRUE(f.holdOn);

    // A preview restarted with no buffer information still shows in the panel.
    f.holdOn = false;
    h.Device().PostForeground();
    h.RunMs(0);
    const auto& panel = *f.cameraPanel;
    const auto before = ui::ControlAccess::Background(panel)->generation;
    h.Frames(2);
    EXPECT_GT(ui::ControlAccess::Background(panel)->generation, before);
}

TEST(Lifecycle, LowMemoryBatteryAndScreenEventsChangeNothing)
{
    Harness h;
    auto f = h.Inspect();
    h.Frames(3);
    const auto state = f.camera->GetState();
    const double pins[4] = {f.landscapePin, f.landscapeOrigin, f.portraitPin, f.portraitOrigin};
    const int orientation = f.orientation;
    const auto draws = h.ShownDraws();

    h.Device().PostLowMemory();
    h.Device().PostBatteryLevel(device::BatteryLevel::Critical);
    h.RunMs(0);
    h.App().OnScreenOff();
    h.App().OnScreenOn();

    EXPECT_EQ(f.camera->GetState(), state);
    EXPECT_EQ(f.landscapePin, pins[0]);
    EXPECT_EQ(f.landscapeOrigin, pins[1]);
    EXPECT_EQ(f.portraitPin, pins[2]);
    EXPECT_EQ(f.portraitOrigin, pins[3]);
    EXPECT_EQ(f.orientation, orientation);
    EXPECT_EQ(h.ShownDraws(), draws);
}

TEST(Lifecycle, EndingTheApplicationReleasesTheCameraAndStopsEveryTimer)
{
    Harness h;
    h.Frames(2);
    ASSERT_NE(h.Cameras().Holder(), nullptr);
    h.Finish();
    EXPECT_EQ(h.Cameras().Holder(), nullptr);
    EXPECT_FALSE(h.Device().Loop().HasPending());
    const auto frames = h.Device().Camera().FramesProduced();
    h.RunMs(2000);
    EXPECT_EQ(h.Device().Camera().FramesProduced(), frames);
}
