// The application object: builds and shows the form, and pauses the camera preview
// while the application is in the background.
#include "Veltora.h"

using namespace Osp::App;
using namespace Osp::Base;
using namespace Osp::System;
using namespace Osp::Ui::Controls;

Veltora::Veltora() {}

Veltora::~Veltora() {}

Application* Veltora::CreateInstance(void) { return new Veltora(); }

bool Veltora::OnAppInitializing(AppRegistry& appRegistry)
{
    (void)appRegistry;
    pMainForm = new MainForm();
    pMainForm->Initialize();

    Frame* pFrame = GetAppFrame()->GetFrame();
    // The frame owns the form from here on, and builds it through its OnInitializing.
    pFrame->AddControl(*pMainForm);
    pFrame->SetCurrentForm(*pMainForm);

    pMainForm->Draw();
    pMainForm->Show();
    return true;
}

bool Veltora::OnAppTerminating(AppRegistry& appRegistry, bool forcedTermination)
{
    (void)appRegistry;
    (void)forcedTermination;
    return true;
}

void Veltora::OnForeground(void)
{
    // The frame loop puts a held or help-page state back at the first frame.
    pMainForm->pPrimaryCamera->StartPreview(nullptr, true);
}

void Veltora::OnBackground(void) { pMainForm->pPrimaryCamera->StopPreview(); }

void Veltora::OnLowMemory(void) {}

void Veltora::OnBatteryLevelChanged(BatteryLevel batteryLevel) { (void)batteryLevel; }

void Veltora::OnScreenOn(void) {}

void Veltora::OnScreenOff(void) {}
