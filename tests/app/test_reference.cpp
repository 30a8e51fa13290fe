// The four layouts as a user sees them, compared with reference pictures kept in
// tests/reference. VELTORA_UPDATE_REFERENCES=1 writes them anew (look at them first).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "codec/ImageCodec.h"
#include "support/Harness.h"

using testing_support::Harness;

namespace {

std::string ReferencePath(const std::string& name)
{
    return std::string(VELTORA_SOURCE_DIR) + "/tests/reference/" + name;
}

// Compares a screen with its reference: channels may differ a little anywhere (filters,
// rounding) but only a few pixels may differ much.
void ExpectLooksLike(const device::PixelView& screen, const std::string& name)
{
    const std::string path = ReferencePath(name);
    if (const char* update = std::getenv("VELTORA_UPDATE_REFERENCES"); update && std::string(update) == "1") {
        std::string reason;
        ASSERT_TRUE(codec::WritePngFile(path, screen.pixels, screen.width, screen.height, screen.stride, reason)) << reason;
        return;
    }
    codec::DecodedImage ref;
    std::string reason;
    ASSERT_TRUE(codec::DecodeImageFile(path, ref, reason)) << path << ": " << reason;
    ASSERT_EQ(ref.width, screen.width) << name;
    ASSERT_EQ(ref.height, screen.height) << name;
    int far = 0;
    for (int y = 0; y < screen.height; y++) {
        for (int x = 0; x < screen.width; x++) {
            const std::uint32_t a = screen.Row(y)[x];
            const std::uint32_t b = ref.pixels[static_cast<size_t>(y) * ref.width + x];
            for (int shift = 0; shift < 32; shift += 8) {
                if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 24) {
                    far++;
                    break;
                }
            }
        }
    }
    const int allowed = screen.width * screen.height / 500; // 0.2 %
    if (far > allowed) {
        const std::string got = ::testing::TempDir() + "/got-" + name;
        codec::WritePngFile(got, screen.pixels, screen.width, screen.height, screen.stride, reason);
        FAIL() << name << ": " << far << " pixels differ (allowed " << allowed << "); this run's picture is " << got;
    }
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
