// The form's insides for tests, benchmarks and the fuzzer: its fields by reference and
// its private helpers, through the one class the form names as its friend.
#pragma once

#include <vector>

#include "MainForm.h"

// The form's fields, by reference, for tests.
class MainFormInspector {
public:
    explicit MainFormInspector(MainForm& f)
        : form(f),
          cameraPanel(f.pCameraPanel),
          bufferInfo(f.bufferInfo),
          canvas(f.m_pCanvas),
          infoButton(f.m_pInfoButton),
          landscapeHoldButton(f.m_pLandscapeHoldButton),
          portraitHoldButton(f.m_pPortraitHoldButton),
          landscapeLabel(f.m_pLandscapeVeltoraLabel),
          portraitLabel(f.m_pPortraitVeltoraLabel),
          landscapePin(f.m_dLandscapePinAngle),
          portraitPin(f.m_dPortraitPinAngle),
          landscapeOrigin(f.m_dLandscapeOriginPinAngle),
          portraitOrigin(f.m_dPortraitOriginPinAngle),
          orientation(f.m_iOrientation),
          oldOrientation(f.m_iOldOrientation),
          sensorMgr(f.m_pSensorMgr),
          holdOn(f.m_bHoldOn),
          info(f.m_bInfo),
          moveLandscapeOrigin(f.m_bMoveLandscapeOriginPin),
          movePortraitOrigin(f.m_bMovePortraitOriginPin),
          moveLandscapePin(f.m_bMoveLandscapePin),
          movePortraitPin(f.m_bMovePortraitPin),
          infoPanel(f.m_pInfoPanel),
          camera(f.pPrimaryCamera)
    {}
    // The 38 bitmaps the form keeps, in field order.
    std::vector<Osp::Graphics::Bitmap*> KeptBitmaps() const
    {
        std::vector<Osp::Graphics::Bitmap*> v = {
            form.m_pPortraitVeltoraBitmap,   form.m_pLandscapeVeltoraBitmap,
            form.m_pPortraitPinBitmap,       form.m_pLandscapePinBitmap,
            form.m_pPortraitOriginPinBitmap, form.m_pLandscapeOriginPinBitmap,
            form.m_pLandscapeBallBitmap,     form.m_pPortraitBallBitmap,
            form.m_pAngleBackgroundBitmap,   form.m_pLandscapeAngleBackgroundBitmap,
            form.m_pNormalHoldButtonBitmap,  form.m_pPressedHoldButtonBitmap,
            form.m_pNormalInfoButtonBitmap,  form.m_pPressedInfoButtonBitmap};
        for (int i = 0; i < 12; i++) {
            v.push_back(form.m_pBigNumBitmap[i]);
            v.push_back(form.m_pSmallNumBitmap[i]);
        }
        return v;
    }
    void DrawAngleNumber() { form.DrawAngleNumber(); }
    // What a tap on a button does, without the tap.
    void Act(int actionId) { form.OnActionPerformed(*form.m_pInfoButton, actionId); }
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
