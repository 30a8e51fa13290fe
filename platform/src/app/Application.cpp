// Runs an application: creates it through its factory, builds its frame, hands control
// to the device's event loop, and always ends it the same way, however the end came.
#include "osp/App.h"

#include "app/Platform.h"
#include "app/Runtime.h"
#include "base/Log.h"
#include "ui/ControlAccess.h"

namespace app {

using namespace Osp::Base;

Runtime::Runtime(device::Device& device, Osp::App::ApplicationInstanceFactory factory,
                 const Collection::IList* arguments)
    : m_device(device), m_factory(factory), m_pArguments(arguments)
{}

Runtime::~Runtime() { Finish(); }

result Runtime::Start()
{
    if (!m_factory) {
        return E_INVALID_ARG;
    }
    Platform& platform = Platform::Of(m_device);
    if (platform.GetApplication() || m_pApp) {
        return E_INVALID_STATE;
    }
    Osp::App::Application* app = m_factory();
    if (!app) {
        return E_OUT_OF_MEMORY;
    }
    app->m_pArguments = m_pArguments;
    m_pApp = app;
    m_pAppFrame = std::make_unique<Osp::App::AppFrame>();
    platform.SetApplication(app, m_pAppFrame.get());
    platform.Screen().SetFrame(m_pAppFrame->GetFrame());

    if (!app->OnAppInitializing(m_registry)) {
        OSP_PLATFORM_LOG("application: OnAppInitializing failed; ending the application");
        Finish();
        return E_INIT_FAILED;
    }
    return E_SUCCESS;
}

void Runtime::Finish()
{
    if (!m_pApp) {
        return;
    }
    // However the run ended, the application and then its forms hear of it.
    m_pApp->OnAppTerminating(m_registry, false);
    ui::ControlAccess::Terminate(*m_pAppFrame->GetFrame());
    Platform& platform = Platform::Of(m_device);
    platform.Touch().Reset();
    platform.Screen().SetFrame(nullptr);
    m_pAppFrame.reset();
    platform.SetApplication(nullptr);
    // Nothing posted for the application may outlive it.
    m_device.Loop().Clear();
    delete m_pApp;
    m_pApp = nullptr;
}

} // namespace app

namespace Osp { namespace App {

using namespace Osp::Base;

AppFrame::AppFrame() : m_pFrame(std::make_unique<Ui::Controls::Frame>()) {}
AppFrame::~AppFrame() = default;

Application::Application() = default;
Application::~Application() = default;

void Application::OnUserEventReceivedN(RequestId requestId, Collection::IList* pArgs)
{
    (void)requestId;
    // The list was handed over; nobody else frees it.
    if (pArgs) {
        pArgs->RemoveAll(true);
        delete pArgs;
    }
}

Application* Application::GetInstance()
{
    const app::Platform* platform = app::Platform::Current();
    return platform ? platform->GetApplication() : nullptr;
}

AppFrame* Application::GetAppFrame() const
{
    const app::Platform* platform = app::Platform::Current();
    return platform ? platform->GetAppFrame() : nullptr;
}

result Application::Terminate()
{
    device::Device* dev = device::Device::Current();
    if (!dev || GetInstance() != this) {
        return E_INVALID_STATE;
    }
    dev->RequestTermination();
    return E_SUCCESS;
}

result Application::Execute(ApplicationInstanceFactory pFactory, const Collection::IList* pArguments,
                            AppAttributeType attribute)
{
    (void)attribute;
    device::Device* dev = device::Device::Current();
    // Loaded without a phone around it, the application gets a bare one for its run.
    std::unique_ptr<device::Device> ownDevice;
    if (!dev) {
        ownDevice = std::make_unique<device::Device>();
        dev = ownDevice.get();
    }
    if (dev->Config().startFailure != E_SUCCESS) {
        return static_cast<result>(dev->Config().startFailure);
    }

    app::Runtime runtime(*dev, pFactory, pArguments);
    const result r = runtime.Start();
    if (r != E_SUCCESS) {
        return r;
    }
    if (const auto& driver = dev->GetDriver()) {
        driver(*dev);
    } else {
        dev->Loop().RunUntil(device::kForever);
    }
    runtime.Finish();
    return E_SUCCESS;
}

}} // namespace Osp::App
