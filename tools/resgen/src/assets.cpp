// The 43 files the app loads from Res/, each with the function that draws it.
// File names are the app's; their order only fixes the order of output and checks.
#include "artwork.h"

namespace resgen {

const std::vector<Asset>& allAssets() {
    static const std::vector<Asset> assets = [] {
        std::vector<Asset> a;
        a.push_back({"velt.png", drawLandscapeDial});
        a.push_back({"velt3.png", drawPortraitDial});
        a.push_back({"landscape_pin.png", [] { return drawPin(true, false); }});
        a.push_back({"landscape_originPin.png", [] { return drawPin(true, true); }});
        a.push_back({"portrait_pin.png", [] { return drawPin(false, false); }});
        a.push_back({"portrait_originPin.png", [] { return drawPin(false, true); }});
        a.push_back({"pin_up_ball.png", [] { return drawHub(false); }});
        a.push_back({"pin_up_small_ball.png", [] { return drawHub(true); }});
        a.push_back({"side_numberframe.png", [] { return drawNumberFrame(false); }});
        a.push_back({"up_numberframe.png", [] { return drawNumberFrame(true); }});
        for (int i = 0; i <= kDegreeGlyph; ++i)
            a.push_back({"bigNum" + std::to_string(i) + ".png", [i] { return drawDigit(i, true); }});
        for (int i = 0; i <= kDegreeGlyph; ++i)
            a.push_back({"smallNum" + std::to_string(i) + ".png", [i] { return drawDigit(i, false); }});
        a.push_back({"hold_off.png", [] { return drawHold(false); }});
        a.push_back({"hold_on.png", [] { return drawHold(true); }});
        a.push_back({"info_on.png", [] { return drawInfo(true); }});
        a.push_back({"info_off.png", [] { return drawInfo(false); }});
        a.push_back({"blank.png", drawBlank});
        a.push_back({"info_up.jpg", drawTitleStrip});
        a.push_back({"info_back_1.png", [] { return drawBackButton(false); }});
        a.push_back({"info_back_2.png", [] { return drawBackButton(true); }});
        a.push_back({"info_contents.jpg", drawHelpContents});
        return a;
    }();
    return assets;
}

}  // namespace resgen
