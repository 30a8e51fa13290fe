// The 43 files the app loads from Res/, each with the function that draws it.
// File names are the app's; their order only fixes the order of output and checks.
#include "Artwork.h"

namespace resgen {

const std::vector<Asset>& AllAssets()
{
    static const std::vector<Asset> assets = [] {
        std::vector<Asset> a;
        a.push_back({"velt.png", DrawLandscapeDial});
        a.push_back({"velt3.png", DrawPortraitDial});
        a.push_back({"landscape_pin.png", [] { return DrawPin(true, false); }});
        a.push_back({"landscape_originPin.png", [] { return DrawPin(true, true); }});
        a.push_back({"portrait_pin.png", [] { return DrawPin(false, false); }});
        a.push_back({"portrait_originPin.png", [] { return DrawPin(false, true); }});
        a.push_back({"pin_up_ball.png", [] { return DrawHub(false); }});
        a.push_back({"pin_up_small_ball.png", [] { return DrawHub(true); }});
        a.push_back({"side_numberframe.png", [] { return DrawNumberFrame(false); }});
        a.push_back({"up_numberframe.png", [] { return DrawNumberFrame(true); }});
        for (int i = 0; i <= kDegreeGlyph; ++i)
            a.push_back({"bigNum" + std::to_string(i) + ".png", [i] { return DrawDigit(i, true); }});
        for (int i = 0; i <= kDegreeGlyph; ++i)
            a.push_back({"smallNum" + std::to_string(i) + ".png", [i] { return DrawDigit(i, false); }});
        a.push_back({"hold_off.png", [] { return DrawHold(false); }});
        a.push_back({"hold_on.png", [] { return DrawHold(true); }});
        a.push_back({"info_on.png", [] { return DrawInfo(true); }});
        a.push_back({"info_off.png", [] { return DrawInfo(false); }});
        a.push_back({"blank.png", DrawBlank});
        a.push_back({"info_up.jpg", DrawTitleStrip});
        a.push_back({"info_back_1.png", [] { return DrawBackButton(false); }});
        a.push_back({"info_back_2.png", [] { return DrawBackButton(true); }});
        a.push_back({"info_contents.jpg", DrawHelpContents});
        return a;
    }();
    return assets;
}

} // namespace resgen
