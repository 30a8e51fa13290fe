// The application object: creates the one form at start-up and pauses or resumes the
// camera preview as the application leaves or regains the foreground.
#ifndef _VELTORA_H_
#define _VELTORA_H_

#include "osp/App.h"
#include "osp/Base.h"
#include "osp/System.h"

#include "MainForm.h"

class Veltora : public Osp::App::Application, public Osp::System::IScreenEventListener {
public:
    static Osp::App::Application* CreateInstance(void);

    Veltora();
    ~Veltora();

    bool OnAppInitializing(Osp::App::AppRegistry& appRegistry);
    bool OnAppTerminating(Osp::App::AppRegistry& appRegistry, bool forcedTermination = false);
    void OnForeground(void);
    void OnBackground(void);
    void OnLowMemory(void);
    void OnBatteryLevelChanged(Osp::System::BatteryLevel batteryLevel);
    void OnScreenOn(void);
    void OnScreenOff(void);

    // The one form; it belongs to the application frame once added there.
    MainForm* pMainForm;
};

#endif
