// Runs the application, linked in, on a headless device with a virtual clock, and lets
// a test read the form's state, the shown canvas, the screen and the log.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "MainForm.h"
#include "Veltora.h"
#include "app/Platform.h"
#include "app/Runtime.h"
#include "base/Log.h"
#include "base/Trace.h"
#include "device/Device.h"
#include "ui/ControlAccess.h"
#include "ui/OverlayBuffer.h"

// The form's fields, by reference, for tests.
class MainFormInspector {
public:
    explicit MainFormInspector(MainForm& f)
        : form(f), cameraPanel(f.pCameraPanel), bufferInfo(f.bufferInfo), canvas(f.m_pCanvas),
          infoButton(f.m_pInfoButton), landscapeHoldButton(f.m_pLandscapeHoldButton),
          portraitHoldButton(f.m_pPortraitHoldButton), landscapeLabel(f.m_pLandscapeVeltoraLabel),
          portraitLabel(f.m_pPortraitVeltoraLabel), landscapePin(f.m_dLandscapePinAngle),
          portraitPin(f.m_dPortraitPinAngle), landscapeOrigin(f.m_dLandscapeOriginPinAngle),
          portraitOrigin(f.m_dPortraitOriginPinAngle), orientation(f.m_iOrientation),
          oldOrientation(f.m_iOldOrientation), sensorMgr(f.m_pSensorMgr), holdOn(f.m_bHoldOn), info(f.m_bInfo),
          moveLandscapeOrigin(f.m_bMoveLandscapeOriginPin), movePortraitOrigin(f.m_bMovePortraitOriginPin),
          moveLandscapePin(f.m_bMoveLandscapePin), movePortraitPin(f.m_bMovePortraitPin), infoPanel(f.m_pInfoPanel),
          camera(f.pPrimaryCamera)
    {
    }
    // The 38 bitmaps the form keeps, in field order.
    std::vector<Osp::Graphics::Bitmap*> KeptBitmaps() const
    {
        std::vector<Osp::Graphics::Bitmap*> v = {
            form.m_pPortraitVeltoraBitmap, form.m_pLandscapeVeltoraBitmap, form.m_pPortraitPinBitmap,
            form.m_pLandscapePinBitmap, form.m_pPortraitOriginPinBitmap, form.m_pLandscapeOriginPinBitmap,
            form.m_pLandscapeBallBitmap, form.m_pPortraitBallBitmap, form.m_pAngleBackgroundBitmap,
            form.m_pLandscapeAngleBackgroundBitmap, form.m_pNormalHoldButtonBitmap, form.m_pPressedHoldButtonBitmap,
            form.m_pNormalInfoButtonBitmap, form.m_pPressedInfoButtonBitmap};
        for (int i = 0; i < 12; i++) {
            v.push_back(form.m_pBigNumBitmap[i]);
            v.push_back(form.m_pSmallNumBitmap[i]);
        }
        return v;
    }
    void DrawAngleNumber() { form.DrawAngleNumber(); }
    static void TurnPin(double& angle, const VECTOR& vec1, const VECTOR& vec2, double length)
    {
        MainForm::TurnPin(angle, vec1, vec2, length);
    }
    Osp::Graphics::Bitmap* GetBitmapN(const Osp::Base::String& name) { return form.GetBitmapN(name); }
    Osp::Ui::Controls::Button* GetButtonN(const Osp::Graphics::Rectangle& rect, const Osp::Base::String& normal,
                                          const Osp::Base::String& pressed, int actionId)
    {
        return form.GetButtonN(rect, normal, pressed, actionId);
    }

    MainForm& form;
    Osp::Ui::Controls::OverlayPanel*& cameraPanel;
    Osp::Graphics::BufferInfo& bufferInfo;
    Osp::Graphics::Canvas*& canvas;
    Osp::Ui::Controls::Button*& infoButton;
    Osp::Ui::Controls::Button*& landscapeHoldButton;
    Osp::Ui::Controls::Button*& portraitHoldButton;
    Osp::Ui::Controls::Label*& landscapeLabel;
    Osp::Ui::Controls::Label*& portraitLabel;
    double& landscapePin;
    double& portraitPin;
    double& landscapeOrigin;
    double& portraitOrigin;
    int& orientation;
    int& oldOrientation;
    Osp::Uix::SensorManager*& sensorMgr;
    bool& holdOn;
    bool& info;
    bool& moveLandscapeOrigin;
    bool& movePortraitOrigin;
    bool& moveLandscapePin;
    bool& movePortraitPin;
    Osp::Ui::Controls::Panel*& infoPanel;
    Osp::Media::Camera*& camera;
};

namespace testing_support {

// Collects log records while it lives, and keeps them off stderr.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::vector<oslog::Record> records;
    std::vector<std::string> Messages() const;
    int Count(const std::string& part) const;

private:
    int m_token;
};

// Collects trace events while it lives.
class TraceRecorder {
public:
    TraceRecorder();
    ~TraceRecorder();
    std::vector<trace::Event> events;
    int Count(const std::string& name) const;
    // The values of one argument over the calls of that name, in order.
    std::vector<std::string> Args(const std::string& name, const std::string& arg) const;
    void Clear() { events.clear(); }

private:
    int m_token;
};

std::string SourceRes();
// A fresh folder under the test temp dir, holding copies of the named Res/ files (all when empty).
std::string CopyRes(const std::string& folder, const std::vector<std::string>& leaveOut = {});

struct HarnessOptions {
    std::string resDir = SourceRes();
    bool camera = true;            // the demo scene as the camera
    bool startApp = true;
    // Replaces the camera source (the demo scene) when set.
    device::CameraSourceFactory cameraSource;
};

// A device plus the application, started in the constructor and ended in the
// destructor (or by Finish).
class Harness {
public:
    explicit Harness(HarnessOptions options = {});
    ~Harness();

    device::Device& Device() { return *m_pDevice; }
    app::Platform& Platform() { return app::Platform::Of(*m_pDevice); }
    ui::Screen& Screen() { return Platform().Screen(); }
    media::CameraService& Cameras() { return Platform().Cameras(); }
    MainForm& Form();
    MainFormInspector Inspect() { return MainFormInspector(Form()); }
    Veltora& App();

    void RunMs(double ms) { m_pDevice->RunFor(static_cast<device::Micros>(ms * 1000)); }
    // Runs until `n` more preview frames have been produced (or a second passed per frame).
    void Frames(int n);
    void Finish();
    bool Running() const { return m_pRuntime && m_pRuntime->Running(); }

    // Input, delivered before returning.
    void Press(int x, int y);
    void MoveTo(int x, int y);
    void Release(int x, int y);
    void Drag(int x0, int y0, int x1, int y1, int steps = 4);
    void Tap(int x, int y);
    void Pitch(float pitch) { m_pDevice->Tilt().SetPitch(pitch); }
    // The next tilt reading with this pitch, delivered.
    void Tilt(float pitch);

    // The draw calls of the canvas shown last, as "file@x,y" or "file@x,y/px,py:angle".
    std::vector<std::string> ShownDraws() const;
    LogCapture& Log() { return m_log; }
    TraceRecorder& Trace() { return m_trace; }

private:
    LogCapture m_log;
    TraceRecorder m_trace;
    std::unique_ptr<device::Device> m_pDevice;
    std::unique_ptr<app::Runtime> m_pRuntime;
};

} // namespace testing_support
