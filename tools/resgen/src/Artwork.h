// The list of Veltora's images and the screen geometry they are drawn for.
// The app places every image at fixed points, so the constants here must match its layout exactly.
#pragma once

#include "Canvas.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace resgen {

// A pixel (x, y) that the app pins to a screen point is the square x..x+1, so its centre is +0.5.
namespace geo {

// Landscape half-circle dial: shown at screen (46,104); the needles turn about screen (400,469).
inline constexpr int kLandW = 708, kLandH = 376;
inline constexpr Pt kLandCentre{354.5, 365.5};
// Touches are measured from screen (400,480), 11 px below the needles' pivot.
inline constexpr Pt kLandTouch{354.5, 376.5};
inline constexpr double kLandMeasureR = 166, kLandOriginR0 = 206, kLandOriginR1 = 366;

// Portrait full-circle dial: shown at (0,0), centred on screen (399,239); touches from (400,240).
inline constexpr int kPortW = 800, kPortH = 480;
inline constexpr Pt kPortCentre{399.5, 239.5};
inline constexpr Pt kPortTouch{400.5, 240.5};
inline constexpr double kPortMeasureR = 96, kPortOriginR0 = 128, kPortOriginR1 = 240;

// Needles point up; pivot pixel (axis, 631).
inline constexpr int kPinH = 646, kPinPivotY = 631;
inline constexpr int kLandPinW = 31, kLandPinAxis = 15;
inline constexpr int kPortPinW = 21, kPortPinAxis = 10;
// Distance of each landscape needle's grip from the pivot, inside the zone that moves that needle.
inline constexpr double kLandMeasureGripR = 110, kLandOriginGripR = 262;

inline constexpr int kHubW = 42, kHubH = 40, kHubCx = 21, kHubCy = 20;
inline constexpr int kSmallHubW = 26, kSmallHubH = 26, kSmallHubC = 13;
// Each hub is a ring round a see-through window; the window shows the aimed point under a crosshair.
// The needles stop under the ring, so inside the window only the picture and the crosshair show.
inline constexpr double kHubWindowR = 12, kHubOuterR = 16.5;
inline constexpr double kSmallHubWindowR = 6.5, kSmallHubOuterR = 11.5;
// The crosshair leaves this much of the picture round the pivot untouched.
inline constexpr double kCrosshairGapR = 2.5;

inline constexpr int kFrameW = 250, kFrameH = 60;
// The readout panel: the frame's left side lies on the screen's edge and its top 15 px from the
// next edge, in every holding. The app sets the hundreds digit 12 px from the edge, so the panel
// cannot keep the buttons' 15 px there; it keeps 10.
inline constexpr int kPanelLeft = 10, kPanelTop = 0, kPanelBottom = 60;
inline constexpr int kSidePanelRight = 142, kUpPanelRight = 210;
inline constexpr double kCaptionMinHeight = 9, kCaptionMinContrast = 4.5;
inline constexpr int kBigW = 24, kBigH = 32, kSmallW = 14, kSmallH = 16;
// Readout positions in frame coordinates: hundreds, tens, units, point, tenths, degree sign.
inline constexpr double kBigX[6] = {24, 48, 72, 86, 100, 120};
inline constexpr double kBigY[6] = {35, 35, 35, 35, 35, 33};
inline constexpr double kSmallX[6] = {140, 152, 164, 172, 180, 190};
inline constexpr double kSmallY[6] = {45, 45, 45, 45, 45, 43};

inline constexpr int kHoldW = 64, kHoldH = 66;
inline constexpr int kInfoW = 50, kInfoH = 50;
inline constexpr int kBackW = 83, kBackH = 48;
inline constexpr int kTitleW = 480, kTitleH = 65;
inline constexpr int kHelpW = 480, kHelpH = 1020;

} // namespace geo

// The digit images: index 0-9 digits, 10 the decimal point, 11 the degree sign.
inline constexpr int kPointGlyph = 10, kDegreeGlyph = 11;

// Grip marks along the landscape dial's zone edges, in dial degrees. The help page's diagram uses
// the same list so that it shows the marks where the user will find them.
inline constexpr std::array<double, 6> kLandZoneMarks{15, 45, 75, 105, 135, 165};

// The outline of a zone-edge grip mark centred on `at`, its long axis along the cairo angle `along`:
// a ring for the origin zone, a lozenge for the measuring zone, like the grips on the needles.
void GripMarkPath(cairo_t* cr, Pt at, double along, double size, bool origin);

Canvas DrawLandscapeDial();
Canvas DrawPortraitDial();
Canvas DrawPin(bool landscape, bool origin);
Canvas DrawHub(bool small);
Canvas DrawNumberFrame(bool portrait);
Canvas DrawDigit(int glyph, bool big);
Canvas DrawHold(bool on);
Canvas DrawInfo(bool on);
Canvas DrawBlank();
Canvas DrawBackButton(bool pressed);
Canvas DrawTitleStrip();
Canvas DrawHelpContents();

struct Asset {
    std::string name; // file name in Res/
    std::function<Canvas()> draw;
};

// Every file the app loads, in a fixed order.
const std::vector<Asset>& AllAssets();

// Composites of the screen as the app lays it out, for judging placement by eye.
Canvas DrawLandscapePreview();
Canvas DrawPortraitPreview();

// The application's icon as the desktop's icon theme wants it: DIR/scalable/apps/NAME.svg
// and DIR/NxN/apps/NAME.png for each of IconSizes().
const std::vector<int>& IconSizes();
void WriteIcons(const std::filesystem::path& dir, const std::string& name);

// Returns the number of problems found, having printed each one.
int CheckArtwork(const std::filesystem::path& dir);
int CompareArtwork(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace resgen
