// What each frame draws: the dial's pins and hub, the per-layout images, and the
// readout, for every orientation code, and what a move over a held picture redraws.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Harness.h"

using namespace Osp::Media;
using testing_support::Harness;
using Draws = std::vector<std::string>;

namespace {

// Puts the form in a layout and keeps the tilt sensor agreeing with it.
void SetCode(Harness& h, int code)
{
    const float pitch[] = {0.0f, 180.0f, -90.0f, 90.0f};
    h.Pitch(code >= 0 && code <= 3 ? pitch[code] : 45.0f);
    h.Inspect().orientation = code;
}

Draws Frame(Harness& h)
{
    h.Frames(1);
    return h.ShownDraws();
}

Draws Only(const Draws& draws, const std::string& prefix)
{
    Draws v;
    for (const auto& d : draws) {
        if (d.rfind(prefix, 0) == 0) {
            v.push_back(d);
        }
    }
    return v;
}

Draws Readout(Harness& h, int code, double pin, double origin)
{
    SetCode(h, code);
    auto f = h.Inspect();
    if (code == 2 || code == 3) {
        f.landscapePin = pin;
        f.landscapeOrigin = origin;
    } else {
        f.portraitPin = pin;
        f.portraitOrigin = origin;
    }
    const Draws all = Frame(h);
    Draws v = Only(all, "bigNum");
    for (const auto& s : Only(all, "smallNum")) {
        v.push_back(s);
    }
    return v;
}

std::string Big(int image, int x, int y, int angle)
{
    return "bigNum" + std::to_string(image) + ".png@" + std::to_string(x) + "," + std::to_string(y) +
           "/12,16:" + std::to_string(angle);
}

std::string Small(int image, int x, int y, int angle)
{
    return "smallNum" + std::to_string(image) + ".png@" + std::to_string(x) + "," + std::to_string(y) +
           "/7,8:" + std::to_string(angle);
}

} // namespace

TEST(Readout, ReadsNinetyAtStartOnEitherDial)
{
    Harness h;
    EXPECT_EQ(Readout(h, 2, 0.0, 90.0), (Draws{Big(9, 48, 50, 0), Big(0, 72, 50, 0), Big(10, 86, 50, 0),
                                               Big(0, 100, 50, 0), Big(11, 120, 48, 0)}));
    EXPECT_EQ(Readout(h, 0, 0.0, 90.0),
              (Draws{Big(9, 50, 432, 90), Big(0, 50, 408, 90), Big(10, 50, 394, 90), Big(0, 50, 380, 90),
                     Big(11, 48, 360, 90), Small(2, 60, 340, 90), Small(7, 60, 328, 90), Small(0, 60, 316, 90),
                     Small(10, 60, 308, 90), Small(0, 60, 300, 90), Small(11, 58, 290, 90)}));
}

TEST(Readout, LeavesLeadingDigitsOutAndTheirPlacesEmpty)
{
    Harness h;
    // Equal pins: 0.0, and on the round dial the complement 360.0.
    EXPECT_EQ(Readout(h, 2, 33.3, 33.3),
              (Draws{Big(0, 72, 50, 0), Big(10, 86, 50, 0), Big(0, 100, 50, 0), Big(11, 120, 48, 0)}));
    EXPECT_EQ(Readout(h, 1, 12.0, 12.0),
              (Draws{Big(0, 750, 72, -90), Big(10, 750, 86, -90), Big(0, 750, 100, -90), Big(11, 752, 120, -90),
                     Small(3, 740, 140, -90), Small(6, 740, 152, -90), Small(0, 740, 164, -90),
                     Small(10, 740, 172, -90), Small(0, 740, 180, -90), Small(11, 742, 190, -90)}));
    // 9.5 degrees has no tens: the first two places stay empty.
    EXPECT_EQ(Readout(h, 2, 0.0, 9.5),
              (Draws{Big(9, 72, 50, 0), Big(10, 86, 50, 0), Big(5, 100, 50, 0), Big(11, 120, 48, 0)}));
    // The whole half circle on the landscape dial, read from the other layout.
    EXPECT_EQ(Readout(h, 3, 180.0, 0.0), (Draws{Big(1, 776, 40, 180), Big(8, 752, 40, 180), Big(0, 728, 40, 180),
                                                Big(10, 714, 40, 180), Big(0, 700, 40, 180), Big(11, 680, 42, 180)}));
}

TEST(Readout, TruncatesTenthsAndShowsTheSmallerAngleOnTheRoundDial)
{
    Harness h;
    const Draws fortyFiveSix = {Big(4, 48, 50, 0), Big(5, 72, 50, 0), Big(10, 86, 50, 0), Big(6, 100, 50, 0),
                                Big(11, 120, 48, 0)};
    EXPECT_EQ(Readout(h, 2, 45.67, 0.0), fortyFiveSix);
    EXPECT_EQ(Readout(h, 2, 10.0, 55.69), fortyFiveSix);
    // 350 and 10 are 340 apart one way and 20 the other.
    EXPECT_EQ(Readout(h, 0, 350.0, 10.0),
              (Draws{Big(2, 50, 432, 90), Big(0, 50, 408, 90), Big(10, 50, 394, 90), Big(0, 50, 380, 90),
                     Big(11, 48, 360, 90), Small(3, 60, 340, 90), Small(4, 60, 328, 90), Small(0, 60, 316, 90),
                     Small(10, 60, 308, 90), Small(0, 60, 300, 90), Small(11, 58, 290, 90)}));
    // Exactly opposite: both read 180.0.
    const Draws r = Readout(h, 0, 270.0, 90.0);
    EXPECT_EQ(Only(r, "bigNum"), (Draws{Big(1, 50, 456, 90), Big(8, 50, 432, 90), Big(0, 50, 408, 90),
                                        Big(10, 50, 394, 90), Big(0, 50, 380, 90), Big(11, 48, 360, 90)}));
    EXPECT_EQ(Only(r, "smallNum"), (Draws{Small(1, 60, 340, 90), Small(8, 60, 328, 90), Small(0, 60, 316, 90),
                                          Small(10, 60, 308, 90), Small(0, 60, 300, 90), Small(11, 58, 290, 90)}));
    // The landscape layouts never show the complement.
    EXPECT_TRUE(Only(Readout(h, 2, 10.0, 100.0), "smallNum").empty());
    EXPECT_TRUE(Only(Readout(h, 3, 10.0, 100.0), "smallNum").empty());
}

TEST(Scene, DrawsEachLayoutsImagesWhereItsTablesPutThem)
{
    Harness h;
    const Draws landscapeDial = {"landscape_pin.png@400,469/15,631:90", "landscape_originPin.png@400,469/15,631:0",
                                 "pin_up_ball.png@379,449"};
    const Draws portraitDial = {"portrait_pin.png@399,239/10,631:180", "portrait_originPin.png@399,239/10,631:90",
                                "pin_up_small_ball.png@386,226"};
    struct Layout {
        int code;
        Draws dial;
        Draws images;
    };
    const Layout layouts[] = {
        {2, landscapeDial, {"side_numberframe.png@0,15", "hold_off.png@721,15", "info_on.png@15,90"}},
        {3,
         landscapeDial,
         {"side_numberframe.png@675,45/125,30:180", "hold_off.png@79,81/0,0:180", "info_on.png@760,115/25,25:180"}},
        {0,
         portraitDial,
         {"up_numberframe.png@45,355/125,30:90", "hold_off.png@15,79/0,0:90", "info_on.png@115,440/25,25:90"}},
        {1,
         portraitDial,
         {"up_numberframe.png@755,125/125,30:-90", "hold_off.png@785,401/0,0:-90", "info_on.png@685,40/25,25:-90"}},
    };
    for (const auto& l : layouts) {
        SetCode(h, l.code);
        const Draws d = Frame(h);
        ASSERT_GE(d.size(), 6u) << "code " << l.code;
        EXPECT_EQ(Draws(d.begin(), d.begin() + 3), l.dial) << "code " << l.code;
        EXPECT_EQ(Draws(d.begin() + 3, d.begin() + 6), l.images) << "code " << l.code;
        // Then the readout, and nothing else.
        for (size_t i = 6; i < d.size(); i++) {
            EXPECT_TRUE(d[i].rfind("bigNum", 0) == 0 || d[i].rfind("smallNum", 0) == 0) << d[i];
        }
    }
    // A code outside the four draws the round dial's pins and hub and nothing more.
    SetCode(h, 7);
    EXPECT_EQ(Frame(h), portraitDial);
}

TEST(Scene, TruncatesPinAnglesBeforeTurningThem)
{
    Harness h;
    auto f = h.Inspect();
    auto turn = [&](const std::string& prefix) {
        for (const auto& d : h.ShownDraws()) {
            if (d.rfind(prefix, 0) == 0) {
                return std::stoi(d.substr(d.rfind(':') + 1));
            }
        }
        return 9999;
    };
    struct Case {
        double angle;
        int turn;
    };
    for (const Case c : {Case{45.9, 45}, Case{179.99, -89}, Case{-0.5, 90}}) {
        f.landscapePin = c.angle;
        Frame(h);
        EXPECT_EQ(turn("landscape_pin.png"), c.turn) << c.angle;
    }
    SetCode(h, 0);
    for (const Case c : {Case{0.0, 180}, Case{359.7, -179}}) {
        f.portraitOrigin = c.angle;
        Frame(h);
        EXPECT_EQ(turn("portrait_originPin.png"), c.turn) << c.angle;
    }
}

TEST(Scene, AFrameOutsideThePreviewChangesNothing)
{
    Harness h;
    auto f = h.Inspect();
    Frame(h);
    f.camera->StopPreview();
    f.holdOn = true;
    f.info = true;
    const auto shows = h.Screen().CanvasShows();
    h.Trace().Clear();
    Osp::Base::ByteBuffer data;
    f.form.OnCameraPreviewed(data, Osp::Base::E_SUCCESS);
    EXPECT_EQ(h.Screen().CanvasShows(), shows);
    EXPECT_EQ(h.Trace().Count("Camera::StopPreview"), 0);
    EXPECT_FALSE(f.infoPanel->GetShowState());
    EXPECT_TRUE(f.cameraPanel->GetShowState());
}

TEST(Scene, AMoveOverAHeldPictureRedrawsWithTheHeldImages)
{
    Harness h;
    auto f = h.Inspect();
    Frame(h);
    // Hold: the next frame is drawn with the pressed image, then the picture stops.
    f.form.OnActionPerformed(*f.landscapeHoldButton, MainForm::ACTION_ID_HOLD);
    Draws held = Frame(h);
    ASSERT_EQ(f.camera->GetState(), CAMERA_STATE_INITIALIZED);
    EXPECT_EQ(held[3], "side_numberframe.png@0,15");
    EXPECT_EQ(held[4], "hold_on.png@721,15");

    // A move that takes no pin (between the zones) still redraws everything, with the
    // other number frame in the landscape layouts.
    const auto shows = h.Screen().CanvasShows();
    h.Press(400, 290);
    h.MoveTo(401, 290);
    EXPECT_EQ(h.Screen().CanvasShows(), shows + 1);
    Draws moved = h.ShownDraws();
    EXPECT_EQ(moved[3], "up_numberframe.png@0,15");
    EXPECT_EQ(moved[4], "hold_on.png@721,15");
    EXPECT_EQ(moved.size(), held.size());
    h.Release(401, 290);

    // A drag that takes the measuring pin: the redraw shows its new angle at once.
    h.Drag(400, 400, 400, 300);
    moved = h.ShownDraws();
    EXPECT_EQ(moved[0], "landscape_pin.png@400,469/15,631:0");
    EXPECT_EQ(Only(moved, "bigNum").front(), Big(0, 72, 50, 0));

    // In a portrait layout the frame stays the portrait one, turned as in the frame loop.
    f.form.OnActionPerformed(*f.landscapeHoldButton, MainForm::ACTION_ID_HOLD);
    SetCode(h, 3);
    f.holdOn = true;
    h.Press(10, 10);
    h.MoveTo(12, 12);
    EXPECT_EQ(h.ShownDraws()[3], "up_numberframe.png@675,45/125,30:180");
    EXPECT_EQ(h.ShownDraws()[4], "hold_on.png@79,81/0,0:180");
    h.Release(12, 12);
}
