// The protractor form: builds the control tree from its images, draws the dial scene and
// the readout over each camera frame, and turns touches, buttons and tilt into state.
#include "MainForm.h"

using namespace Osp::Base;
using namespace Osp::Base::Collection;
using namespace Osp::Base::Utility;
using namespace Osp::Graphics;
using namespace Osp::Media;
using namespace Osp::Ui;
using namespace Osp::Ui::Controls;
using namespace Osp::Uix;

MainForm::MainForm(void) : bufferInfo()
{
    // Everything else gets its value in OnInitializing; the pointers start out null so
    // that a form torn down before it was built releases nothing by mistake.
    pCameraPanel = nullptr;
    m_pCanvas = nullptr;
    m_pPortraitVeltoraBitmap = nullptr;
    m_pLandscapeVeltoraBitmap = nullptr;
    m_pPortraitPinBitmap = nullptr;
    m_pLandscapePinBitmap = nullptr;
    m_pPortraitOriginPinBitmap = nullptr;
    m_pLandscapeOriginPinBitmap = nullptr;
    m_pLandscapeBallBitmap = nullptr;
    m_pPortraitBallBitmap = nullptr;
    m_pAngleBackgroundBitmap = nullptr;
    m_pLandscapeAngleBackgroundBitmap = nullptr;
    m_pNormalHoldButtonBitmap = nullptr;
    m_pPressedHoldButtonBitmap = nullptr;
    m_pNormalInfoButtonBitmap = nullptr;
    m_pPressedInfoButtonBitmap = nullptr;
    m_pInfoButton = nullptr;
    m_pLandscapeHoldButton = nullptr;
    m_pPortraitHoldButton = nullptr;
    m_pLandscapeVeltoraLabel = nullptr;
    m_pPortraitVeltoraLabel = nullptr;
    m_pSensorMgr = nullptr;
    for (int i = 0; i < 12; i++) {
        m_pBigNumBitmap[i] = nullptr;
        m_pSmallNumBitmap[i] = nullptr;
    }
    m_pInfoPanel = nullptr;
    pPrimaryCamera = nullptr;
}

MainForm::~MainForm(void) {}

bool MainForm::Initialize(void)
{
    Form::Construct(FORM_STYLE_NORMAL);
    return true;
}

Bitmap* MainForm::GetBitmapN(const String& name)
{
    Bitmap* pBitmap = nullptr;
    Image* pImage = new Image();
    String fullname(L"/Res/");
    fullname.Append(name);

    pImage->Construct();
    if (fullname.EndsWith(L"jpg")) {
        pBitmap = pImage->DecodeN(fullname, BITMAP_PIXEL_FORMAT_RGB565);
    } else if (fullname.EndsWith(L"bmp")) {
        pBitmap = pImage->DecodeN(fullname, BITMAP_PIXEL_FORMAT_RGB565);
    } else if (fullname.EndsWith(L"png")) {
        pBitmap = pImage->DecodeN(fullname, BITMAP_PIXEL_FORMAT_ARGB8888);
    } else if (fullname.EndsWith(L"gif")) {
        pBitmap = pImage->DecodeN(fullname, BITMAP_PIXEL_FORMAT_RGB565);
    }

    delete pImage;
    return pBitmap;
}

Button* MainForm::GetButtonN(const Rectangle& rect, const String& normalBitmapName, const String& pressedBitmapName,
                             int actionId)
{
    Button* pButton = new Button();
    pButton->Construct(rect, L"");

    Bitmap* pNormalBitmap = GetBitmapN(normalBitmapName);
    Bitmap* pPressedBitmap = GetBitmapN(pressedBitmapName);

    // An image that failed to load leaves its state without one.
    if (pNormalBitmap) {
        pButton->SetNormalBitmap(Point(0, 0), *pNormalBitmap);
        pButton->SetNormalBackgroundBitmap(*pNormalBitmap);
    }
    if (pPressedBitmap) {
        pButton->SetPressedBitmap(Point(0, 0), *pPressedBitmap);
        pButton->SetPressedBackgroundBitmap(*pPressedBitmap);
    }
    pButton->SetActionId(actionId);
    pButton->AddActionEventListener(*this);

    delete pNormalBitmap;
    delete pPressedBitmap;
    return pButton;
}

result MainForm::OnInitializing(void)
{
    result r = E_SUCCESS;

    SetOrientation(ORIENTATION_LANDSCAPE);
    m_iOrientation = LANDSCAPE_LEFT;
    // No orientation code is 4, so the first tilt reading always lays the controls out.
    m_iOldOrientation = 4;
    m_dLandscapePinAngle = 0.0;
    m_dPortraitPinAngle = 0.0;
    m_dLandscapeOriginPinAngle = 90.0;
    m_dPortraitOriginPinAngle = 90.0;
    m_bHoldOn = false;
    m_bInfo = false;
    m_bMoveLandscapeOriginPin = false;
    m_bMovePortraitOriginPin = false;
    m_bMoveLandscapePin = false;
    m_bMovePortraitPin = false;

    pPrimaryCamera = new Camera();
    pPrimaryCamera->Construct(*this, CAMERA_PRIMARY);
    pPrimaryCamera->PowerOn();
    pPrimaryCamera->SetQuality(CAMERA_QUALITY_NORMAL);

    // The camera previews at the last resolution it lists; with none listed it keeps
    // its own default. The value is copied out before the list goes.
    IList* pResolutionList = pPrimaryCamera->GetSupportedPreviewResolutionListN();
    if (pResolutionList) {
        int count = pResolutionList->GetCount();
        Dimension* pPreviewResolution =
            count > 0 ? static_cast<Dimension*>(pResolutionList->GetAt(count - 1)) : nullptr;
        Dimension previewResolution;
        if (pPreviewResolution) {
            previewResolution = *pPreviewResolution;
        }
        delete pResolutionList;
        if (pPreviewResolution) {
            pPrimaryCamera->SetPreviewResolution(previewResolution);
        }
    }
    pPrimaryCamera->SetPreviewFrameRate(15);

    pCameraPanel = new OverlayPanel();
    pCameraPanel->Construct(Rectangle(0, 0, 800, 480));
    AddControl(*pCameraPanel);
    pCameraPanel->GetBackgroundBufferInfo(bufferInfo);
    pPrimaryCamera->StartPreview(&bufferInfo, true);
    pPrimaryCamera->SetFlash(true);

    m_pCanvas = new Canvas();
    m_pCanvas->Construct(Rectangle(0, 0, 800, 480));

    m_pPortraitVeltoraBitmap = GetBitmapN(L"velt3.png");
    m_pLandscapeVeltoraBitmap = GetBitmapN(L"velt.png");
    m_pPortraitPinBitmap = GetBitmapN(L"portrait_pin.png");
    m_pLandscapePinBitmap = GetBitmapN(L"landscape_pin.png");
    m_pPortraitOriginPinBitmap = GetBitmapN(L"portrait_originPin.png");
    m_pLandscapeOriginPinBitmap = GetBitmapN(L"landscape_originPin.png");
    m_pLandscapeBallBitmap = GetBitmapN(L"pin_up_ball.png");
    m_pPortraitBallBitmap = GetBitmapN(L"pin_up_small_ball.png");
    m_pAngleBackgroundBitmap = GetBitmapN(L"up_numberframe.png");
    m_pLandscapeAngleBackgroundBitmap = GetBitmapN(L"side_numberframe.png");

    for (int i = 0; i <= 11; i++) {
        String strBigNumFileName(L"bigNum");
        String strSmallNumFileName(L"smallNum");
        strBigNumFileName.Append(i);
        strSmallNumFileName.Append(i);
        strBigNumFileName.Append(L".png");
        strSmallNumFileName.Append(L".png");
        m_pBigNumBitmap[i] = GetBitmapN(strBigNumFileName);
        m_pSmallNumBitmap[i] = GetBitmapN(strSmallNumFileName);
    }

    m_pNormalHoldButtonBitmap = GetBitmapN(L"hold_off.png");
    m_pPressedHoldButtonBitmap = GetBitmapN(L"hold_on.png");
    m_pNormalInfoButtonBitmap = GetBitmapN(L"info_on.png");
    m_pPressedInfoButtonBitmap = GetBitmapN(L"info_off.png");

    m_pLandscapeVeltoraLabel = new Label();
    m_pLandscapeVeltoraLabel->Construct(Rectangle(46, 104, 708, 376), L"");
    if (m_pLandscapeVeltoraBitmap) {
        m_pLandscapeVeltoraLabel->SetBackgroundBitmap(*m_pLandscapeVeltoraBitmap);
    }
    m_pLandscapeVeltoraLabel->AddTouchEventListener(*this);
    pCameraPanel->AddControl(*m_pLandscapeVeltoraLabel);

    m_pPortraitVeltoraLabel = new Label();
    m_pPortraitVeltoraLabel->Construct(Rectangle(0, 0, 800, 480), L"");
    if (m_pPortraitVeltoraBitmap) {
        m_pPortraitVeltoraLabel->SetBackgroundBitmap(*m_pPortraitVeltoraBitmap);
    }
    m_pPortraitVeltoraLabel->AddTouchEventListener(*this);
    m_pPortraitVeltoraLabel->SetShowState(false);
    pCameraPanel->AddControl(*m_pPortraitVeltoraLabel);

    // The buttons are invisible: the scene draws the hold and information images
    // that the user sees over them.
    m_pInfoButton = GetButtonN(Rectangle(15, 90, 50, 50), L"blank.png", L"blank.png", ACTION_ID_INFO);
    m_pLandscapeHoldButton = GetButtonN(Rectangle(682, 15, 64, 66), L"blank.png", L"blank.png", ACTION_ID_HOLD);
    m_pPortraitHoldButton = GetButtonN(Rectangle(15, 15, 64, 66), L"blank.png", L"blank.png", ACTION_ID_HOLD);
    pCameraPanel->AddControl(*m_pInfoButton);
    pCameraPanel->AddControl(*m_pLandscapeHoldButton);
    pCameraPanel->AddControl(*m_pPortraitHoldButton);
    pCameraPanel->AddTouchEventListener(*this);

    m_pSensorMgr = new SensorManager();
    m_pSensorMgr->Construct();
    m_pSensorMgr->AddSensorListener(*this, SENSOR_TYPE_TILT, 500, true);

    m_pInfoPanel = new Panel();
    m_pInfoPanel->Construct(Rectangle(0, 0, 480, 800), GROUP_STYLE_NONE);

    Label* pInfoBackgroundLabel = new Label();
    pInfoBackgroundLabel->Construct(Rectangle(0, 0, 480, 65), L"");
    Bitmap* pInfoTitleBitmap = GetBitmapN(L"info_up.jpg");
    if (pInfoTitleBitmap) {
        pInfoBackgroundLabel->SetBackgroundBitmap(*pInfoTitleBitmap);
    }
    delete pInfoTitleBitmap;
    m_pInfoPanel->AddControl(*pInfoBackgroundLabel);

    Button* pInfoBackButton =
        GetButtonN(Rectangle(360, 8, 83, 48), L"info_back_1.png", L"info_back_2.png", ACTION_ID_INFO_BACK);
    m_pInfoPanel->AddControl(*pInfoBackButton);

    ScrollPanel* pScrollPanel = new ScrollPanel();
    pScrollPanel->Construct(Rectangle(0, 65, 480, 735));
    pScrollPanel->SetBackgroundColor(Color::COLOR_WHITE);

    Label* pScrollBackgroundLabel = new Label();
    pScrollBackgroundLabel->Construct(Rectangle(0, 0, 480, 1020), L"");
    Bitmap* pScrollBackgroundBitmap = GetBitmapN(L"info_contents.jpg");
    if (pScrollBackgroundBitmap) {
        pScrollBackgroundLabel->SetBackgroundBitmap(*pScrollBackgroundBitmap);
    }
    delete pScrollBackgroundBitmap;
    pScrollPanel->AddControl(*pScrollBackgroundLabel);
    m_pInfoPanel->AddControl(*pScrollPanel);

    m_pInfoPanel->SetShowState(false);
    m_pInfoPanel->AddTouchEventListener(*this);
    AddControl(*m_pInfoPanel);

    return r;
}

result MainForm::OnTerminating(void)
{
    result r = E_SUCCESS;

    // The preview stops before the canvas and the bitmaps that the frame loop draws go.
    if (pPrimaryCamera) {
        pPrimaryCamera->StopPreview();
        pPrimaryCamera->PowerOff();
    }
    delete pPrimaryCamera;

    delete m_pPortraitOriginPinBitmap;
    delete m_pLandscapeOriginPinBitmap;
    delete m_pCanvas;
    delete m_pPortraitVeltoraBitmap;
    delete m_pLandscapeVeltoraBitmap;
    delete m_pLandscapeBallBitmap;
    delete m_pPortraitBallBitmap;
    delete m_pPortraitPinBitmap;
    delete m_pLandscapePinBitmap;
    delete m_pAngleBackgroundBitmap;
    delete m_pLandscapeAngleBackgroundBitmap;
    delete m_pNormalHoldButtonBitmap;
    delete m_pPressedHoldButtonBitmap;
    delete m_pNormalInfoButtonBitmap;
    delete m_pPressedInfoButtonBitmap;

    // Deleting the manager ends the tilt readings.
    delete m_pSensorMgr;

    for (int i = 0; i <= 11; i++) {
        delete m_pBigNumBitmap[i];
        delete m_pSmallNumBitmap[i];
    }
    return r;
}

void MainForm::DrawImage(const Point& point, const Bitmap* pBitmap)
{
    if (pBitmap) {
        m_pCanvas->DrawBitmap(point, *pBitmap);
    }
}

void MainForm::DrawImage(const Point& point, const Bitmap* pBitmap, const Point& pivot, int degree)
{
    if (pBitmap) {
        m_pCanvas->DrawBitmap(point, *pBitmap, pivot, degree);
    }
}

void MainForm::DrawScene(bool touchRedraw)
{
    // The measuring pin goes first, so the origin pin lies over it and the hub over both.
    if (m_iOrientation == LANDSCAPE_LEFT || m_iOrientation == LANDSCAPE_RIGHT) {
        DrawImage(Point(400, 469), m_pLandscapePinBitmap, Point(15, 631), 90 - (int)m_dLandscapePinAngle);
        DrawImage(Point(400, 469), m_pLandscapeOriginPinBitmap, Point(15, 631), 90 - (int)m_dLandscapeOriginPinAngle);
        DrawImage(Point(379, 449), m_pLandscapeBallBitmap);
    } else {
        DrawImage(Point(399, 239), m_pPortraitPinBitmap, Point(10, 631), 180 - (int)m_dPortraitPinAngle);
        DrawImage(Point(399, 239), m_pPortraitOriginPinBitmap, Point(10, 631), 180 - (int)m_dPortraitOriginPinAngle);
        DrawImage(Point(386, 226), m_pPortraitBallBitmap);
    }

    // While a finger moves over a held picture the frame loop is idle and the hold image
    // is always the pressed one.
    Bitmap* pHoldBitmap = (touchRedraw || m_bHoldOn) ? m_pPressedHoldButtonBitmap : m_pNormalHoldButtonBitmap;
    Bitmap* pLandscapeFrameBitmap = touchRedraw ? m_pAngleBackgroundBitmap : m_pLandscapeAngleBackgroundBitmap;

    switch (m_iOrientation) {
    case LANDSCAPE_LEFT:
        DrawImage(Point(0, 15), pLandscapeFrameBitmap);
        DrawImage(Point(721, 15), pHoldBitmap);
        DrawImage(Point(15, 90), m_pNormalInfoButtonBitmap);
        break;
    case LANDSCAPE_RIGHT:
        DrawImage(Point(675, 45), pLandscapeFrameBitmap, Point(125, 30), 180);
        DrawImage(Point(79, 81), pHoldBitmap, Point(0, 0), 180);
        DrawImage(Point(760, 115), m_pNormalInfoButtonBitmap, Point(25, 25), 180);
        break;
    case PORTRAIT_UP:
        DrawImage(Point(45, 355), m_pAngleBackgroundBitmap, Point(125, 30), 90);
        DrawImage(Point(15, 79), pHoldBitmap, Point(0, 0), 90);
        DrawImage(Point(115, 440), m_pNormalInfoButtonBitmap, Point(25, 25), 90);
        break;
    case PORTRAIT_REVERSE:
        DrawImage(Point(755, 125), m_pAngleBackgroundBitmap, Point(125, 30), -90);
        DrawImage(Point(785, 401), pHoldBitmap, Point(0, 0), -90);
        DrawImage(Point(685, 40), m_pNormalInfoButtonBitmap, Point(25, 25), -90);
        break;
    default: break;
    }

    DrawAngleNumber();
    m_pCanvas->Show();
}

void MainForm::DrawAngleNumber(void)
{
    double angle = 0.0;
    double wide_angle = 0.0;
    int tmpNum = 0;
    int tmpWNum = 0;
    String strNum(L"");
    String strWNum(L"");
    int angleNum[4];
    int wide_angleNum[4];
    int rotation = 0;

    // Fixed places along the reading direction, per orientation code.
    static const int bigX[4][6] = {
        {50, 50, 50, 50, 50, 48}, // code 0
        {750, 750, 750, 750, 750, 752}, // code 1
        {24, 48, 72, 86, 100, 120}, // code 2
        {776, 752, 728, 714, 700, 680}, // code 3
    };
    static const int bigY[4][6] = {
        {456, 432, 408, 394, 380, 360},
        {24, 48, 72, 86, 100, 120},
        {50, 50, 50, 50, 50, 48},
        {40, 40, 40, 40, 40, 42},
    };
    static const int smallX[2][6] = {
        {60, 60, 60, 60, 60, 58},
        {740, 740, 740, 740, 740, 742},
    };
    static const int smallY[2][6] = {
        {340, 328, 316, 308, 300, 290},
        {140, 152, 164, 172, 180, 190},
    };

    if (m_iOrientation == LANDSCAPE_LEFT || m_iOrientation == LANDSCAPE_RIGHT) {
        if (m_dLandscapePinAngle >= m_dLandscapeOriginPinAngle) {
            angle = m_dLandscapePinAngle - m_dLandscapeOriginPinAngle;
        } else {
            angle = m_dLandscapeOriginPinAngle - m_dLandscapePinAngle;
        }
        angle *= 10;
        tmpNum = (int)angle;
        rotation = (m_iOrientation == LANDSCAPE_LEFT) ? 0 : 180;
    } else if (m_iOrientation == PORTRAIT_UP || m_iOrientation == PORTRAIT_REVERSE) {
        if (m_dPortraitPinAngle >= m_dPortraitOriginPinAngle) {
            angle = m_dPortraitPinAngle - m_dPortraitOriginPinAngle;
        } else {
            angle = m_dPortraitOriginPinAngle - m_dPortraitPinAngle;
        }
        // The smaller of the two angles between the pins; the other is the complement.
        wide_angle = 360 - angle;
        if (angle > wide_angle) {
            angle = wide_angle;
        }
        angle *= 10;
        tmpNum = (int)angle;
        tmpWNum = 3600 - tmpNum;
        rotation = (m_iOrientation == PORTRAIT_UP) ? 90 : -90;
    } else {
        return;
    }

    strNum.Append(tmpNum);
    strWNum.Append(tmpWNum);

    int rest = tmpNum % 1000;
    angleNum[0] = tmpNum / 1000;
    angleNum[1] = rest / 100;
    rest = rest % 100;
    angleNum[2] = rest / 10;
    angleNum[3] = rest % 10;

    rest = tmpWNum % 1000;
    wide_angleNum[0] = tmpWNum / 1000;
    wide_angleNum[1] = rest / 100;
    rest = rest % 100;
    wide_angleNum[2] = rest / 10;
    wide_angleNum[3] = rest % 10;

    const int code = m_iOrientation;
    const Point bigPivot(12, 16);
    const int bigImage[6] = {angleNum[0], angleNum[1], angleNum[2], 10, angleNum[3], 11};
    for (int step = 0; step < 6; step++) {
        // Leading digits that the number does not have leave their places empty.
        if (step == 0 && strNum.GetLength() != 4) {
            continue;
        }
        if (step == 1 && !(strNum.GetLength() > 2)) {
            continue;
        }
        DrawImage(Point(bigX[code][step], bigY[code][step]), m_pBigNumBitmap[bigImage[step]], bigPivot, rotation);
    }

    if (code == PORTRAIT_UP || code == PORTRAIT_REVERSE) {
        const Point smallPivot(7, 8);
        const int smallImage[6] = {wide_angleNum[0], wide_angleNum[1], wide_angleNum[2], 10, wide_angleNum[3], 11};
        for (int step = 0; step < 6; step++) {
            if (step == 0 && strWNum.GetLength() != 4) {
                continue;
            }
            if (step == 1 && !(strWNum.GetLength() > 2)) {
                continue;
            }
            DrawImage(Point(smallX[code][step], smallY[code][step]), m_pSmallNumBitmap[smallImage[step]], smallPivot,
                      rotation);
        }
    }
}

void MainForm::OnCameraAutoFocused(bool completeCondition) { (void)completeCondition; }

void MainForm::OnCameraPreviewed(ByteBuffer& previewedData, result r)
{
    (void)previewedData;
    (void)r;

    // A frame that was on its way when the preview stopped is dropped whole.
    if (pPrimaryCamera->GetState() != CAMERA_STATE_PREVIEW) {
        return;
    }

    m_pCanvas->Clear();
    DrawScene(false);

    // Hold and the help page take effect once this frame, drawn in the new state, is shown.
    if (m_bHoldOn) {
        pPrimaryCamera->StopPreview();
    }
    if (m_bInfo) {
        pPrimaryCamera->StopPreview();
        m_pInfoPanel->SetShowState(true);
        pCameraPanel->SetShowState(false);
        RequestRedraw(true);
    }
}

void MainForm::OnCameraCaptured(ByteBuffer& capturedData, result r)
{
    (void)capturedData;
    (void)r;
}

void MainForm::OnCameraErrorOccurred(CameraErrorReason r) { (void)r; }

void MainForm::OnActionPerformed(const Control& source, int actionId)
{
    (void)source;

    switch (actionId) {
    case ACTION_ID_INFO:
        // With the picture held no frame comes to make the swap, so it is made here.
        if (m_bHoldOn) {
            m_pInfoPanel->SetShowState(true);
            pCameraPanel->SetShowState(false);
            RequestRedraw(true);
        }
        m_bInfo = true;
        SetOrientation(ORIENTATION_PORTRAIT);
        break;

    case ACTION_ID_HOLD:
        if (!m_bHoldOn) {
            // The next frame draws the pressed hold image and then stops the preview.
            m_bHoldOn = true;
        } else {
            pPrimaryCamera->StartPreview(&bufferInfo, true);
            m_bHoldOn = false;
        }
        break;

    case ACTION_ID_INFO_BACK:
        m_bInfo = false;
        SetOrientation(ORIENTATION_LANDSCAPE);
        pCameraPanel->SetShowState(true);
        m_pInfoPanel->SetShowState(false);
        RequestRedraw(true);
        // Leaving the help page always returns to the live picture.
        if (!m_bHoldOn) {
            pPrimaryCamera->StartPreview(&bufferInfo, true);
        } else {
            m_bHoldOn = false;
            pPrimaryCamera->StartPreview(&bufferInfo, true);
        }
        break;

    default: break;
    }
}

void MainForm::OnTouchPressed(const Control& source, const Point& currentPosition, const TouchEventInfo& touchInfo)
{
    (void)source;
    (void)currentPosition;
    (void)touchInfo;
}

void MainForm::OnTouchLongPressed(const Control& source, const Point& currentPosition, const TouchEventInfo& touchInfo)
{
    (void)source;
    (void)currentPosition;
    (void)touchInfo;
}

void MainForm::OnTouchReleased(const Control& source, const Point& currentPosition, const TouchEventInfo& touchInfo)
{
    (void)source;
    (void)currentPosition;
    (void)touchInfo;

    m_bMoveLandscapeOriginPin = false;
    m_bMovePortraitOriginPin = false;
    m_bMoveLandscapePin = false;
    m_bMovePortraitPin = false;
}

void MainForm::TurnPin(double& angle, const VECTOR& vec1, const VECTOR& vec2, double length)
{
    // A finger right on the centre points nowhere: the pin keeps its angle.
    if (!(length > 0.0)) {
        return;
    }
    double cosine = vec1.posX * vec2.posX + vec1.posY * vec2.posY;
    // Rounding can push the dot product of two unit vectors just past 1.
    if (cosine > 1.0) {
        cosine = 1.0;
    } else if (cosine < -1.0) {
        cosine = -1.0;
    }
    angle = Math::Acos(cosine) * 180 / Math::GetPi();
}

void MainForm::OnTouchMoved(const Control& source, const Point& currentPosition, const TouchEventInfo& touchInfo)
{
    (void)touchInfo;

    VECTOR vec1;
    VECTOR vec2;
    double length = 0.0;
    int x = currentPosition.x + source.GetPosition().x;
    int y = currentPosition.y + source.GetPosition().y;

    if (m_iOrientation == LANDSCAPE_LEFT || m_iOrientation == LANDSCAPE_RIGHT) {
        vec1.posX = -1.0;
        vec1.posY = 0.0;
        vec2.posX = (double)x - 400.0;
        vec2.posY = (double)y - 480.0;
        length = Math::Sqrt(vec2.posX * vec2.posX + vec2.posY * vec2.posY);
        if (length > 0.0) {
            vec2.posX = vec2.posX / length;
            vec2.posY = vec2.posY / length;
        }

        if (!m_bMoveLandscapeOriginPin && !m_bMoveLandscapePin) {
            if (length < 166) {
                m_bMoveLandscapePin = true;
            } else if (length > 206 && length < 366) {
                m_bMoveLandscapeOriginPin = true;
            }
        }

        if (m_bMoveLandscapePin) {
            TurnPin(m_dLandscapePinAngle, vec1, vec2, length);
        } else if (m_bMoveLandscapeOriginPin) {
            TurnPin(m_dLandscapeOriginPinAngle, vec1, vec2, length);
        }
    } else {
        vec1.posX = 0.0;
        vec1.posY = 1.0;
        vec2.posX = (double)x - 400.0;
        vec2.posY = (double)y - 240.0;
        length = Math::Sqrt(vec2.posX * vec2.posX + vec2.posY * vec2.posY);
        if (length > 0.0) {
            vec2.posX = vec2.posX / length;
            vec2.posY = vec2.posY / length;
        }

        if (!m_bMovePortraitOriginPin && !m_bMovePortraitPin) {
            if (length < 96) {
                m_bMovePortraitPin = true;
            } else if (length > 128 && length < 240) {
                m_bMovePortraitOriginPin = true;
            }
        }

        double* pAngle = nullptr;
        if (m_bMovePortraitPin) {
            pAngle = &m_dPortraitPinAngle;
        } else if (m_bMovePortraitOriginPin) {
            pAngle = &m_dPortraitOriginPinAngle;
        }
        // The cosine alone cannot tell left from right; the right half reads 180 to 360.
        if (pAngle && length > 0.0) {
            TurnPin(*pAngle, vec1, vec2, length);
            if (currentPosition.x + source.GetPosition().x > 399) {
                *pAngle = 360 - *pAngle;
            }
        }
    }

    // A held picture gets no frames, so the overlay is redrawn here.
    if (m_bHoldOn) {
        m_pCanvas->Clear();
        DrawScene(true);
    }
}

void MainForm::OnTouchDoublePressed(const Control& source, const Point& currentPosition,
                                    const TouchEventInfo& touchInfo)
{
    (void)source;
    (void)currentPosition;
    (void)touchInfo;
}

void MainForm::OnTouchFocusIn(const Control& source, const Point& currentPosition, const TouchEventInfo& touchInfo)
{
    (void)source;
    (void)currentPosition;
    (void)touchInfo;
}

void MainForm::OnTouchFocusOut(const Control& source, const Point& currentPosition, const TouchEventInfo& touchInfo)
{
    (void)source;
    (void)currentPosition;
    (void)touchInfo;
}

void MainForm::OnDataReceived(SensorType sensorType, SensorData& sensorData, result r)
{
    (void)sensorType;
    (void)r;

    // While the picture is held the layout stays as it was when hold was pressed.
    if (m_bHoldOn) {
        return;
    }

    float pitch = 0.0;
    sensorData.GetValue((int)TILT_DATA_KEY_PITCH, pitch);

    if (pitch > -10 && pitch <= 0) {
        m_iOrientation = PORTRAIT_UP;
    } else if (pitch > 0 && pitch < 10) {
        m_iOrientation = PORTRAIT_UP;
    } else if (pitch < -80 && pitch > -100) {
        m_iOrientation = LANDSCAPE_LEFT;
    } else if (pitch > 80 && pitch < 100) {
        m_iOrientation = LANDSCAPE_RIGHT;
    } else if (pitch < -170 && pitch >= -180) {
        m_iOrientation = PORTRAIT_REVERSE;
    } else if (pitch > 170 && pitch <= 180) {
        m_iOrientation = PORTRAIT_REVERSE;
    }

    if (m_iOrientation != m_iOldOrientation) {
        if (m_iOrientation == PORTRAIT_UP || m_iOrientation == PORTRAIT_REVERSE) {
            m_pPortraitVeltoraLabel->SetShowState(true);
            m_pLandscapeVeltoraLabel->SetShowState(false);
            m_pPortraitVeltoraLabel->RequestRedraw(true);
            if (m_iOrientation == PORTRAIT_UP) {
                m_pPortraitHoldButton->SetPosition(15, 15);
                m_pInfoButton->SetPosition(90, 415);
            } else {
                m_pPortraitHoldButton->SetPosition(721, 399);
                m_pInfoButton->SetPosition(660, 15);
            }
            m_pLandscapeHoldButton->SetShowState(false);
            m_pPortraitHoldButton->SetShowState(true);
            m_pPortraitHoldButton->RequestRedraw(true);
            m_pInfoButton->RequestRedraw(true);
        } else {
            m_pPortraitVeltoraLabel->SetShowState(false);
            m_pLandscapeVeltoraLabel->SetShowState(true);
            m_pLandscapeVeltoraLabel->RequestRedraw(true);
            if (m_iOrientation == LANDSCAPE_LEFT) {
                m_pLandscapeHoldButton->SetPosition(721, 15);
                m_pInfoButton->SetPosition(15, 90);
            } else {
                m_pLandscapeHoldButton->SetPosition(15, 15);
                m_pInfoButton->SetPosition(735, 90);
            }
            m_pLandscapeHoldButton->SetShowState(true);
            m_pLandscapeHoldButton->RequestRedraw(true);
            m_pPortraitHoldButton->SetShowState(false);
            m_pInfoButton->RequestRedraw(true);
        }
    }
    m_iOldOrientation = m_iOrientation;
}
