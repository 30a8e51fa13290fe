// Runs an application: creates it through its factory, builds its frame, hands control
// to the device's event loop, and always ends it the same way, however the end came.
#include "osp/App.h"

#include "base/Log.h"
#include "device/Device.h"
#include "device/Screen.h"
#include "ui/ControlAccess.h"

namespace Osp { namespace App {

using namespace Osp::Base;

namespace {
Application* g_pInstance = nullptr;
AppFrame* g_pAppFrame = nullptr;
} // namespace

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
    return g_pInstance;
}

AppFrame* Application::GetAppFrame() const
{
    return g_pAppFrame;
}

result Application::Terminate()
{
    device::Device* dev = device::Device::Current();
    if (!dev || g_pInstance != this) {
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
    if (dev->Config().executeFailure != E_SUCCESS) {
        return dev->Config().executeFailure;
    }
    if (!pFactory) {
        return E_INVALID_ARG;
    }
    if (g_pInstance) {
        return E_INVALID_STATE;
    }

    Application* app = pFactory();
    if (!app) {
        return E_OUT_OF_MEMORY;
    }
    app->m_pArguments = pArguments;
    auto appFrame = std::make_unique<AppFrame>();
    g_pInstance = app;
    g_pAppFrame = appFrame.get();
    dev->SetApplication(app);
    dev->GetScreen().SetFrame(appFrame->GetFrame());

    AppRegistry registry;
    result r = E_SUCCESS;
    if (!app->OnAppInitializing(registry)) {
        OSP_PLATFORM_LOG("application: OnAppInitializing failed; ending the application");
        r = E_INIT_FAILED;
    } else if (const auto& driver = dev->GetDriver()) {
        driver(*dev);
    } else {
        dev->Loop().RunUntil(device::kForever);
    }

    // However the run ended, the application and its forms hear of it, in this order.
    app->OnAppTerminating(registry, false);
    ui::ControlAccess::Terminate(*appFrame->GetFrame());
    dev->GetScreen().SetFrame(nullptr);
    appFrame.reset();
    g_pAppFrame = nullptr;
    dev->SetApplication(nullptr);
    // Nothing posted for the application may outlive it.
    dev->Loop().Clear();
    g_pInstance = nullptr;
    delete app;
    return r;
}

}} // namespace Osp::App
