// The Osp::App namespace: the application object, its life-cycle callbacks, and the
// application frame that holds its forms.
#pragma once

#include "osp/Base.h"
#include "osp/System.h"
#include "osp/Ui.h"

namespace app {
class Runtime;
}

namespace Osp { namespace App {

class Application;
typedef Application* (*ApplicationInstanceFactory)(void);
typedef unsigned long AppAttributeType;
typedef int RequestId;

// Where an application may keep settings between runs; this platform keeps none.
class AppRegistry : public Osp::Base::Object {
public:
    AppRegistry() = default;
};

class AppFrame : public Osp::Base::Object {
public:
    AppFrame();
    ~AppFrame() override;
    Osp::Ui::Controls::Frame* GetFrame() const { return m_pFrame.get(); }

private:
    std::unique_ptr<Osp::Ui::Controls::Frame> m_pFrame;
};

class Application : public Osp::Base::Object {
public:
    Application();
    ~Application() override;

    virtual bool OnAppInitializing(AppRegistry& appRegistry) = 0;
    virtual bool OnAppTerminating(AppRegistry& appRegistry, bool forcedTermination = false) = 0;
    virtual void OnForeground() {}
    virtual void OnBackground() {}
    virtual void OnLowMemory() {}
    virtual void OnBatteryLevelChanged(Osp::System::BatteryLevel batteryLevel) { (void)batteryLevel; }
    virtual void OnUserEventReceivedN(RequestId requestId, Osp::Base::Collection::IList* pArgs);

    // Creates the application through the factory and runs it on this thread, the
    // platform's event thread, until it ends. The arguments stay the caller's.
    static Osp::Base::result Execute(ApplicationInstanceFactory pFactory,
                                     const Osp::Base::Collection::IList* pArguments, AppAttributeType attribute = 0);
    static Application* GetInstance();

    AppFrame* GetAppFrame() const;
    const Osp::Base::Collection::IList* GetAppArgumentListN() const { return m_pArguments; }
    // Asks the platform to end the application after the current callback.
    Osp::Base::result Terminate();

private:
    friend class ::app::Runtime;
    const Osp::Base::Collection::IList* m_pArguments = nullptr;
};

}} // namespace Osp::App
