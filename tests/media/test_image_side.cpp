// The side limit of a decoded image at its edge, through Image::DecodeN as the application
// calls it: the longest side allowed decodes in either direction and format, one more does not.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/ImageCodec.h"
#include "graphics/ImageBudget.h"
#include "osp/Graphics.h"
#include "osp/Media.h"
#include "support/Harness.h"
#include "support/Scratch.h"

using namespace Osp::Graphics;
using testing_support::LogCapture;

TEST(ImageSide, TheLongestSideDecodesAndOneMoreIsRefusedEitherWayInEitherFormat)
{
    testing_support::ScratchDir dir("image-side");
    constexpr int kSide = graphics::kMaxImageSide;
    const auto png = [&](int w, int h) {
        const std::string path = dir.File(std::to_string(w) + "x" + std::to_string(h) + ".png");
        std::vector<std::uint32_t> px(static_cast<size_t>(w) * h, 0xFF336699u);
        std::string why;
        EXPECT_TRUE(codec::WritePngFile(path, px.data(), w, h, w * 4, why)) << why;
        return path;
    };
    struct Case {
        int w, h;
        bool decodes;
    };
    for (const BitmapPixelFormat format : {BITMAP_PIXEL_FORMAT_ARGB8888, BITMAP_PIXEL_FORMAT_RGB565}) {
        for (const Case c :
             {Case{kSide, 2, true}, Case{2, kSide, true}, Case{kSide + 1, 2, false}, Case{2, kSide + 1, false}}) {
            const std::string path = png(c.w, c.h);
            const std::string size = std::to_string(c.w) + "x" + std::to_string(c.h);
            LogCapture log;
            const std::uint64_t before = graphics::ImageBytesInUse();
            Osp::Media::Image image;
            image.Construct();
            std::unique_ptr<Bitmap> bitmap(image.DecodeN(path.c_str(), format));
            if (c.decodes) {
                ASSERT_NE(bitmap, nullptr) << size;
                EXPECT_EQ(bitmap->GetWidth(), c.w);
                EXPECT_EQ(bitmap->GetHeight(), c.h);
                EXPECT_EQ(log.Count("cannot decode"), 0) << size;
                continue;
            }
            EXPECT_EQ(bitmap, nullptr) << size;
            EXPECT_EQ(graphics::ImageBytesInUse(), before) << size;
            EXPECT_EQ(log.Count("image too large (" + size + "; an image may be at most 4096x4096)"), 1) << size;
        }
    }
}
