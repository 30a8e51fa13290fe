// Aiming through scripts on a photo: any point of the picture, even at its very corner,
// goes under the landscape dial's hub or the round dial's, at any zoom the device takes;
// a zoom past its range is refused.
#include <gtest/gtest.h>

#include "support/Launch.h"

#include <fstream>
#include <string>
#include <vector>

#include "codec/ImageCodec.h"
#include "headless/Script.h"

using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::Temp;

namespace {

constexpr std::uint32_t kGrey = 0xFF808080u;
constexpr std::uint32_t kGreen = 0xFF00C000u;
constexpr std::uint32_t kMagenta = 0xFFE000E0u;

bool Near(std::uint32_t got, std::uint32_t want)
{
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > 40) {
            return false;
        }
    }
    return true;
}

// How many of four points 20 pixels diagonally from (x, y) have the colour: clear of the
// hub's ring and the needles, so the picture shows there. Off the screen counts as not.
int CountAround(const std::string& png, int x, int y, std::uint32_t colour)
{
    codec::DecodedImage img;
    std::string reason;
    EXPECT_TRUE(codec::DecodeImageFile(png, img, reason)) << png << ": " << reason;
    int n = 0;
    for (int dy : {-20, 7}) {
        for (int dx : {-20, 20}) {
            const int px = x + dx, py = y + dy;
            if (px >= 0 && py >= 0 && px < img.width && py < img.height) {
                n += Near(img.pixels[static_cast<size_t>(py) * img.width + px], colour);
            }
        }
    }
    return n;
}

} // namespace

TEST(Aiming, AnyPointOfAPhotoGoesUnderEitherHub)
{
    // A 4:3 grey photo with a green spot at its bottom-left corner and a magenta one at its
    // top-right corner, each 8 pixels square: the corners a middle-only aim could never reach.
    const int w = 400, h = 300;
    std::vector<std::uint32_t> px(static_cast<size_t>(w) * h, kGrey);
    for (int y = 0; y < 8; y++) {
        for (int x = 0; x < 8; x++) {
            px[static_cast<size_t>(h - 8 + y) * w + x] = kGreen;
            px[static_cast<size_t>(y) * w + (w - 8 + x)] = kMagenta;
        }
    }
    const std::string photo = Temp("corners.png");
    std::string reason;
    ASSERT_TRUE(codec::WritePngFile(photo, px.data(), w, h, w * 4, reason)) << reason;

    // Spot centres in fractions of the picture: (4/400, 296/300) and (396/400, 4/300).
    const std::string before = Temp("aim-0.png"), landscape = Temp("aim-1.png"), portrait = Temp("aim-2.png");
    const std::string script = Temp("aim.txt");
    std::ofstream(script) << "pitch -90\nwait 600\nscreenshot " << before
                          << "\naim 4 0.01 0.98666667 at 400 469\nwait 200\nscreenshot " << landscape
                          << "\npitch 0\nwait 600\naim 4 0.99 0.01333333 at 399 239\nwait 200\nscreenshot " << portrait
                          << "\n";
    const Outcome o = RunVeltora("--headless --camera " + photo + " --script " + script);
    ASSERT_EQ(o.code, 0) << o.out;
    EXPECT_EQ(CountAround(before, 400, 469, kGreen), 0);
    // Zoom 4 on a cover scale of 2 makes each spot 64 screen pixels wide, centred on the hub.
    EXPECT_EQ(CountAround(landscape, 400, 469, kGreen), 4);
    EXPECT_EQ(CountAround(portrait, 399, 239, kMagenta), 4);
    EXPECT_EQ(CountAround(portrait, 400, 469, kGreen), 0);
}

TEST(Aiming, TheScriptsAimAtFormIsCheckedLikeAnyLine)
{
    const std::string script = Temp("aim-bad.txt");
    std::ofstream(script) << "aim 2 0.5 0.5 to 400 469\n";
    const Outcome o = RunVeltora("--headless --script " + script);
    EXPECT_EQ(o.code, 2);
    EXPECT_NE(o.out.find("aim-bad.txt:1: expected: aim ZOOM"), std::string::npos) << o.out;
}

TEST(Aiming, AScriptsZoomOutsideTheRangeIsRefusedNotClamped)
{
    headless::Script script;
    std::string error;
    // The range's ends are taken as they are.
    ASSERT_TRUE(headless::Script::Parse("aim 8 0.5 0.5\naim 0.125 0.5 0.5 at 400 240\n", "s", script, error)) << error;
    EXPECT_EQ(script.Commands()[0].numbers[0], 8.0);
    EXPECT_EQ(script.Commands()[1].numbers[0], 0.125);
    // The first step past either end is refused with its line, as any line the device cannot do.
    for (const char* zoom : {"8.001", "0.1249", "0", "-2"}) {
        EXPECT_FALSE(headless::Script::Parse("wait 1\naim " + std::string(zoom) + " 0.5 0.5\n", "s", script, error))
            << zoom;
        EXPECT_EQ(error, "s:2: aim takes a zoom from 0.125 to 8, not '" + std::string(zoom) + "'");
    }
    // Through the launcher, before anything runs.
    const std::string path = Temp("aim-far.txt");
    std::ofstream(path) << "aim 9 0.5 0.5 at 400 469\n";
    const Outcome o = RunVeltora("--headless --script " + path);
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.out, "veltora: " + path + ":1: aim takes a zoom from 0.125 to 8, not '9'\n");
}
