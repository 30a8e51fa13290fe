// The four layouts and real states of use as a user sees them, compared with reference
// pictures kept in tests/reference. VELTORA_UPDATE_REFERENCES=1 writes them anew (look at them first).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "codec/ImageCodec.h"
#include "support/Frames.h"
#include "support/Harness.h"
#include "support/Scratch.h"

using testing_support::Harness;

namespace {

std::string ReferencePath(const std::string& name)
{
    return std::string(VELTORA_SOURCE_DIR) + "/tests/reference/" + name;
}

// Compares a screen with its reference. Drawing is deterministic, so the two must agree to
// within a rounding step per channel; a single pixel beyond that is a difference a user could see.
void ExpectLooksLike(const device::PixelView& screen, const std::string& name)
{
    const std::string path = ReferencePath(name);
    if (const char* update = std::getenv("VELTORA_UPDATE_REFERENCES"); update && std::string(update) == "1") {
        std::string reason;
        ASSERT_TRUE(codec::WritePngFile(path, screen.pixels, screen.width, screen.height, screen.stride, reason))
            << reason;
        return;
    }
    codec::DecodedImage ref;
    std::string reason;
    ASSERT_TRUE(codec::DecodeImageFile(path, ref, reason)) << path << ": " << reason;
    ASSERT_EQ(ref.width, screen.width) << name;
    ASSERT_EQ(ref.height, screen.height) << name;
    int far = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < screen.height; y++) {
        for (int x = 0; x < screen.width; x++) {
            if (!testing_support::Near(screen.Row(y)[x], ref.pixels[static_cast<size_t>(y) * ref.width + x], 2)) {
                if (far++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
        }
    }
    if (far > 0) {
        const std::string got = testing_support::KeptFolder("veltora-reference") + "/got-" + name;
        codec::WritePngFile(got, screen.pixels, screen.width, screen.height, screen.stride, reason);
        FAIL() << name << ": " << far << " pixels differ, the first at (" << firstX << ", " << firstY
               << "); this run's picture is " << got;
    }
}

// Lays a pin along a finger: a first move inside the pin's zone takes it, the finger then
// goes where the pin should point.
void LayPin(Harness& h, int zoneX, int zoneY, int x, int y)
{
    h.Press(zoneX + 1, zoneY);
    h.MoveTo(zoneX, zoneY);
    h.MoveTo(x, y);
    h.Release(x, y);
}

} // namespace

TEST(Reference, EachLayoutLooksAsItsReference)
{
    struct Layout {
        float pitch;
        const char* name;
    };
    for (const Layout l : {Layout{-90, "layout-landscape-left.png"}, Layout{90, "layout-landscape-right.png"},
                           Layout{0, "layout-portrait-up.png"}, Layout{180, "layout-portrait-reverse.png"}}) {
        Harness h;
        h.Pitch(l.pitch);
        // One tilt reading lays the controls out; by then many frames have been drawn.
        h.RunMs(1000);
        ExpectLooksLike(h.Screen().Compose(), l.name);
    }
}

// While the picture is held, a move redraws the landscape scene with the portrait number frame;
// its complement slot must look like an empty field, not a caption without its number.
TEST(Reference, HeldLandscapeRedrawLooksAsItsReference)
{
    for (const float pitch : {-90.0f, 90.0f}) {
        Harness h;
        h.Pitch(pitch);
        h.RunMs(1000);
        auto f = h.Inspect();
        f.form.OnActionPerformed(*f.landscapeHoldButton, MainForm::ACTION_ID_HOLD);
        h.RunMs(200);
        // Needles at odd angles show how the clear line survives turning.
        h.Drag(370, 457, 138, 279);
        h.Drag(559, 358, 675, 269);
        ExpectLooksLike(h.Screen().Compose(), pitch < 0 ? "held-landscape-left.png" : "held-landscape-right.png");
    }
}

TEST(Reference, HelpPageLooksAsItsReference)
{
    Harness h;
    h.RunMs(100);
    auto f = h.Inspect();
    f.form.OnActionPerformed(*f.infoButton, MainForm::ACTION_ID_INFO);
    h.RunMs(100);
    ASSERT_TRUE(h.Screen().Portrait());
    ExpectLooksLike(h.Screen().Compose(), "help-page.png");
}

TEST(Reference, MeasuringStatesLookAsTheirReferences)
{
    {
        // Landscape, needles at odd angles (31.4 and 157.7 degrees): a four-digit readout, 126.3.
        Harness h;
        h.Tilt(-90);
        LayPin(h, 400, 400, 144, 324);
        LayPin(h, 152, 337, 702, 356);
        h.Frames(1);
        ASSERT_NEAR(h.Inspect().landscapePin, 31.35, 0.1);
        ExpectLooksLike(h.Screen().Compose(), "landscape-odd-angles.png");
    }
    {
        // Portrait, needles at odd angles: the angle the short way round, 129.7, and the other
        // side, 230.3, beside it.
        Harness h;
        h.Tilt(0);
        LayPin(h, 400, 200, 290, 143);
        LayPin(h, 584, 240, 612, 207);
        h.Frames(1);
        ExpectLooksLike(h.Screen().Compose(), "portrait-complement.png");
    }
}

TEST(Reference, ScrolledHelpPageLooksAsItsReference)
{
    Harness h;
    h.Tilt(-90);
    h.Tap(40, 115);
    h.Frames(1);
    ASSERT_TRUE(h.Screen().Portrait());
    h.Drag(240, 700, 240, 300, 12);
    ExpectLooksLike(h.Screen().Compose(), "help-page-scrolled.png");
}
