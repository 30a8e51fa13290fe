// The one form of the protractor: the camera picture, the dials, the pins, the readout,
// the hold and information buttons, and the help page, with all of their state.
#ifndef _MAINFORM_H_
#define _MAINFORM_H_

#include "osp/Base.h"
#include "osp/Graphics.h"
#include "osp/Media.h"
#include "osp/Ui.h"
#include "osp/Uix.h"

// How the phone is held; the scene is laid out and turned for each code.
enum VeltoraOrientation {
    PORTRAIT_UP = 0,
    PORTRAIT_REVERSE = 1,
    LANDSCAPE_LEFT = 2,
    LANDSCAPE_RIGHT = 3,
};

typedef struct {
    double posX;
    double posY;
} VECTOR;

class MainForm : public Osp::Ui::Controls::Form,
                 public Osp::Ui::IActionEventListener,
                 public Osp::Media::ICameraEventListener,
                 public Osp::Ui::ITouchEventListener,
                 public Osp::Uix::ISensorEventListener {
public:
    MainForm(void);
    virtual ~MainForm(void);

    bool Initialize(void);

    virtual result OnInitializing(void);
    virtual result OnTerminating(void);

    virtual void OnActionPerformed(const Osp::Ui::Control& source, int actionId);

    virtual void OnCameraAutoFocused(bool completeCondition);
    virtual void OnCameraPreviewed(Osp::Base::ByteBuffer& previewedData, result r);
    virtual void OnCameraCaptured(Osp::Base::ByteBuffer& capturedData, result r);
    virtual void OnCameraErrorOccurred(Osp::Media::CameraErrorReason r);

    virtual void OnTouchPressed(const Osp::Ui::Control& source, const Osp::Graphics::Point& currentPosition,
                                const Osp::Ui::TouchEventInfo& touchInfo);
    virtual void OnTouchLongPressed(const Osp::Ui::Control& source, const Osp::Graphics::Point& currentPosition,
                                    const Osp::Ui::TouchEventInfo& touchInfo);
    virtual void OnTouchReleased(const Osp::Ui::Control& source, const Osp::Graphics::Point& currentPosition,
                                 const Osp::Ui::TouchEventInfo& touchInfo);
    virtual void OnTouchMoved(const Osp::Ui::Control& source, const Osp::Graphics::Point& currentPosition,
                              const Osp::Ui::TouchEventInfo& touchInfo);
    virtual void OnTouchDoublePressed(const Osp::Ui::Control& source, const Osp::Graphics::Point& currentPosition,
                                      const Osp::Ui::TouchEventInfo& touchInfo);
    virtual void OnTouchFocusIn(const Osp::Ui::Control& source, const Osp::Graphics::Point& currentPosition,
                                const Osp::Ui::TouchEventInfo& touchInfo);
    virtual void OnTouchFocusOut(const Osp::Ui::Control& source, const Osp::Graphics::Point& currentPosition,
                                 const Osp::Ui::TouchEventInfo& touchInfo);

    virtual void OnDataReceived(Osp::Uix::SensorType sensorType, Osp::Uix::SensorData& sensorData, result r);

    void DrawAngleNumber(void);

    static const int ACTION_ID_INFO = 150;
    static const int ACTION_ID_HOLD = 151;
    static const int ACTION_ID_INFO_BACK = 152;

private:
    Osp::Graphics::Bitmap* GetBitmapN(const Osp::Base::String& name);
    Osp::Ui::Controls::Button* GetButtonN(const Osp::Graphics::Rectangle& rect,
                                          const Osp::Base::String& normalBitmapName,
                                          const Osp::Base::String& pressedBitmapName, int actionId);

    // Both drawing paths (the camera frame and a move while holding) draw through here.
    void DrawScene(bool touchRedraw);
    // A bitmap that failed to load is left out rather than drawn.
    void DrawImage(const Osp::Graphics::Point& point, const Osp::Graphics::Bitmap* pBitmap);
    void DrawImage(const Osp::Graphics::Point& point, const Osp::Graphics::Bitmap* pBitmap,
                   const Osp::Graphics::Point& pivot, int degree);
    // The pin's angle for a finger direction; keeps `angle` when the finger is on the centre.
    static void TurnPin(double& angle, const VECTOR& vec1, const VECTOR& vec2, double length);

    // The application object pauses and resumes the camera; tests read the state.
    friend class Veltora;
    friend class MainFormInspector;

    Osp::Ui::Controls::OverlayPanel* pCameraPanel;
    Osp::Graphics::BufferInfo bufferInfo;
    Osp::Graphics::Canvas* m_pCanvas;
    Osp::Graphics::Bitmap* m_pPortraitVeltoraBitmap;
    Osp::Graphics::Bitmap* m_pLandscapeVeltoraBitmap;
    Osp::Graphics::Bitmap* m_pPortraitPinBitmap;
    Osp::Graphics::Bitmap* m_pLandscapePinBitmap;
    Osp::Graphics::Bitmap* m_pPortraitOriginPinBitmap;
    Osp::Graphics::Bitmap* m_pLandscapeOriginPinBitmap;
    Osp::Graphics::Bitmap* m_pLandscapeBallBitmap;
    Osp::Graphics::Bitmap* m_pPortraitBallBitmap;
    Osp::Graphics::Bitmap* m_pAngleBackgroundBitmap;
    Osp::Graphics::Bitmap* m_pLandscapeAngleBackgroundBitmap;
    Osp::Graphics::Bitmap* m_pNormalHoldButtonBitmap;
    Osp::Graphics::Bitmap* m_pPressedHoldButtonBitmap;
    Osp::Graphics::Bitmap* m_pNormalInfoButtonBitmap;
    Osp::Graphics::Bitmap* m_pPressedInfoButtonBitmap;
    Osp::Ui::Controls::Button* m_pInfoButton;
    Osp::Ui::Controls::Button* m_pLandscapeHoldButton;
    Osp::Ui::Controls::Button* m_pPortraitHoldButton;
    Osp::Ui::Controls::Label* m_pLandscapeVeltoraLabel;
    Osp::Ui::Controls::Label* m_pPortraitVeltoraLabel;
    double m_dLandscapePinAngle;
    double m_dPortraitPinAngle;
    double m_dLandscapeOriginPinAngle;
    double m_dPortraitOriginPinAngle;
    int m_iOrientation;
    int m_iOldOrientation;
    Osp::Uix::SensorManager* m_pSensorMgr;
    bool m_bHoldOn;
    bool m_bInfo;
    bool m_bMoveLandscapeOriginPin;
    bool m_bMovePortraitOriginPin;
    bool m_bMoveLandscapePin;
    bool m_bMovePortraitPin;
    Osp::Graphics::Bitmap* m_pBigNumBitmap[12];
    Osp::Graphics::Bitmap* m_pSmallNumBitmap[12];
    Osp::Ui::Controls::Panel* m_pInfoPanel;
    Osp::Media::Camera* pPrimaryCamera;
};

#endif
