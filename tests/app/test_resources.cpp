// How the form gets its images and buttons: the suffix rules, the pixel formats, files
// that are missing or broken, and the artwork in Res/ fitting the layout.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <gif_lib.h>

#include "codec/ImageCodec.h"
#include "graphics/BitmapData.h"
#include "support/Harness.h"
#include "support/ResourceNames.h"

using namespace Osp::Base;
using namespace Osp::Graphics;
using testing_support::CopyRes;
using testing_support::Harness;
using testing_support::HarnessOptions;

namespace fs = std::filesystem;

namespace {

std::uint32_t PixelAt(const Bitmap& b, int x, int y)
{
    const auto& d = *b.GetData();
    const std::uint8_t* row = d.bytes.data() + static_cast<size_t>(y) * d.stride;
    if (d.format == BITMAP_PIXEL_FORMAT_RGB565) {
        return reinterpret_cast<const std::uint16_t*>(row)[x];
    }
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}

void WriteBytes(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A 2x1 24-bit BMP: a pure red pixel and a pure blue one.
std::string TinyBmp()
{
    std::string b = "BM";
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; i++) b.push_back(static_cast<char>(v >> (8 * i)));
    };
    auto u16 = [&](std::uint16_t v) {
        b.push_back(static_cast<char>(v));
        b.push_back(static_cast<char>(v >> 8));
    };
    u32(54 + 8);
    u32(0);
    u32(54);
    u32(40);
    u32(2);
    u32(1);
    u16(1);
    u16(24);
    u32(0);
    u32(8);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    b += std::string("\x00\x00\xff", 3) + std::string("\xff\x00\x00", 3) + std::string(2, '\0');
    return b;
}

// A 1x1 GIF whose one pixel is pure green.
void WriteTinyGif(const fs::path& path)
{
    int err = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
    ASSERT_NE(gif, nullptr);
    GifColorType colors[2] = {{0, 255, 0}, {0, 0, 0}};
    ColorMapObject* map = GifMakeMapObject(2, colors);
    EGifPutScreenDesc(gif, 1, 1, 1, 0, map);
    EGifPutImageDesc(gif, 0, 0, 1, 1, false, nullptr);
    GifPixelType px = 0;
    EGifPutLine(gif, &px, 1);
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
}

class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::path(CopyRes("resource-rules"));
        fs::copy_file(dir / "info_up.jpg", dir / "photo.jpeg");
        fs::copy_file(dir / "info_up.jpg", dir / "xjpg");
        fs::copy_file(dir / "blank.png", dir / "xpng");
        WriteBytes(dir / "tiny.bmp", TinyBmp());
        WriteTinyGif(dir / "tiny.gif");
        // A half-transparent red pixel and an opaque white one.
        const std::uint32_t px[2] = {0x80800000u, 0xFFFFFFFFu};
        std::string reason;
        ASSERT_TRUE(codec::WritePngFile((dir / "known.png").string(), px, 2, 1, 8, reason)) << reason;
        const std::string png = ReadBytes(dir / "known.png");
        WriteBytes(dir / "truncated.png", png.substr(0, png.size() / 2));
        WriteBytes(dir / "garbage.png", std::string(300, '\x5a'));
        WriteBytes(dir / "empty.png", "");
        fs::copy_file(dir / "known.png", dir / "png-inside.jpg");
        HarnessOptions o;
        o.resDir = dir.string();
        h = std::make_unique<Harness>(o);
    }

    std::unique_ptr<Bitmap> Get(const std::string& name)
    {
        return std::unique_ptr<Bitmap>(h->Inspect().GetBitmapN(String(name.c_str())));
    }

    fs::path dir;
    std::unique_ptr<Harness> h;
};

} // namespace

TEST_F(ResourceTest, SuffixPicksThePixelFormatAndOnlyFourSuffixesAreDecoded)
{
    h->Trace().Clear();
    EXPECT_EQ(Get("blank.png")->GetPixelColorFormat(), BITMAP_PIXEL_FORMAT_ARGB8888);
    EXPECT_EQ(Get("info_up.jpg")->GetPixelColorFormat(), BITMAP_PIXEL_FORMAT_RGB565);
    EXPECT_EQ(Get("tiny.bmp")->GetPixelColorFormat(), BITMAP_PIXEL_FORMAT_RGB565);
    EXPECT_EQ(Get("tiny.gif")->GetPixelColorFormat(), BITMAP_PIXEL_FORMAT_RGB565);
    // The three letters alone decide, with or without a dot before them.
    ASSERT_NE(Get("xpng"), nullptr);
    EXPECT_EQ(Get("xpng")->GetPixelColorFormat(), BITMAP_PIXEL_FORMAT_ARGB8888);
    EXPECT_EQ(Get("xjpg")->GetPixelColorFormat(), BITMAP_PIXEL_FORMAT_RGB565);
    EXPECT_EQ(h->Trace().Args("Image::DecodeN", "path"),
              (std::vector<std::string>{"\"/Res/blank.png\"", "\"/Res/info_up.jpg\"", "\"/Res/tiny.bmp\"",
                                        "\"/Res/tiny.gif\"", "\"/Res/xpng\"", "\"/Res/xpng\"", "\"/Res/xjpg\""}));

    // "jpeg" ends in "peg", and an empty name leaves "/Res/": neither is even read,
    // although photo.jpeg is a perfectly good JPEG.
    h->Trace().Clear();
    EXPECT_EQ(Get("photo.jpeg"), nullptr);
    EXPECT_EQ(Get(""), nullptr);
    EXPECT_EQ(Get("notes.txt"), nullptr);
    EXPECT_EQ(h->Trace().Count("Image::DecodeN"), 0);
}

TEST_F(ResourceTest, PixelsArriveInTheFormatAsked)
{
    const auto png = Get("known.png");
    ASSERT_NE(png, nullptr);
    ASSERT_EQ(png->GetWidth(), 2);
    // Premultiplied for the compositor: half-transparent red stays 0x80800000.
    EXPECT_EQ(PixelAt(*png, 0, 0), 0x80800000u);
    EXPECT_EQ(PixelAt(*png, 1, 0), 0xFFFFFFFFu);
    const auto bmp = Get("tiny.bmp");
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(PixelAt(*bmp, 0, 0), 0xF800u); // red in 5-6-5
    EXPECT_EQ(PixelAt(*bmp, 1, 0), 0x001Fu); // blue
    const auto gif = Get("tiny.gif");
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(PixelAt(*gif, 0, 0), 0x07E0u); // green
}

TEST_F(ResourceTest, BadFilesGiveNullAndOneLineNamingTheFileAndWhy)
{
    const std::map<std::string, std::string> cases = {
        {"missing.png", "file not found"}, {"truncated.png", "truncated"},        {"garbage.png", "PNG"},
        {"empty.png", "empty file"},       {"png-inside.jpg", "not a JPEG file"},
    };
    for (const auto& [name, why] : cases) {
        const size_t before = h->Log().records.size();
        EXPECT_EQ(Get(name), nullptr) << name;
        ASSERT_EQ(h->Log().records.size(), before + 1) << name;
        const std::string& line = h->Log().records.back().message;
        EXPECT_NE(line.find((dir / name).string()), std::string::npos) << line;
        EXPECT_NE(line.find(why), std::string::npos) << line;
    }
}

TEST_F(ResourceTest, ButtonsKeepTheirOwnImagesOfBothStates)
{
    const long live = Bitmap::GetLiveCount();
    std::unique_ptr<Osp::Ui::Controls::Button> b(
        h->Inspect().GetButtonN(Rectangle(1, 2, 83, 48), L"info_back_1.png", L"info_back_2.png", 152));
    // Both decoded bitmaps are gone again...
    EXPECT_EQ(Bitmap::GetLiveCount(), live);
    // ...but the button holds each image twice, as image at (0, 0) and as background.
    using ui::ControlAccess;
    for (bool pressed : {false, true}) {
        const std::string want = pressed ? "info_back_2.png" : "info_back_1.png";
        ASSERT_TRUE(ControlAccess::ButtonImage(*b, pressed));
        EXPECT_EQ(ControlAccess::ButtonImage(*b, pressed)->name, want);
        EXPECT_EQ(ControlAccess::ButtonBackground(*b, pressed)->name, want);
        EXPECT_EQ(ControlAccess::ButtonImagePosition(*b, pressed), Point(0, 0));
    }
    EXPECT_EQ(b->GetActionId(), 152);
    ASSERT_EQ(ControlAccess::ActionListeners(*b).size(), 1u);
    EXPECT_EQ(ControlAccess::ActionListeners(*b)[0], static_cast<Osp::Ui::IActionEventListener*>(&h->Form()));

    // A state whose image is missing is simply left without one.
    std::unique_ptr<Osp::Ui::Controls::Button> half(
        h->Inspect().GetButtonN(Rectangle(0, 0, 10, 10), L"blank.png", L"missing.png", 7));
    EXPECT_TRUE(ControlAccess::ButtonImage(*half, false));
    EXPECT_FALSE(ControlAccess::ButtonImage(*half, true));
    EXPECT_FALSE(ControlAccess::ButtonBackground(*half, true));
}

TEST(ResFolder, EveryFileDecodesAtTheSizeItsPlaceNeeds)
{
    struct Want {
        int w, h;
    };
    std::map<std::string, Want> want = {
        {"velt.png", {708, 376}},          {"velt3.png", {800, 480}},
        {"pin_up_ball.png", {42, 40}},     {"pin_up_small_ball.png", {26, 26}},
        {"up_numberframe.png", {250, 60}}, {"side_numberframe.png", {250, 60}},
        {"hold_off.png", {64, 66}},        {"hold_on.png", {64, 66}},
        {"info_on.png", {50, 50}},         {"info_off.png", {50, 50}},
        {"info_up.jpg", {480, 65}},        {"info_back_1.png", {83, 48}},
        {"info_back_2.png", {83, 48}},     {"info_contents.jpg", {480, 1020}},
    };
    for (int i = 0; i < 12; i++) {
        want["bigNum" + std::to_string(i) + ".png"] = {24, 32};
        want["smallNum" + std::to_string(i) + ".png"] = {14, 16};
    }
    int files = 0;
    for (const auto& entry : fs::directory_iterator(testing_support::SourceRes())) {
        const std::string name = entry.path().filename().string();
        codec::DecodedImage img;
        std::string reason;
        ASSERT_TRUE(codec::DecodeImageFile(entry.path().string(), img, reason)) << name << ": " << reason;
        files++;
        if (name == "blank.png") {
            for (auto p : img.pixels) {
                ASSERT_EQ(p >> 24, 0u) << "blank.png must be fully transparent";
            }
            continue;
        }
        // The needles: their pivots lie on their axes and they reach past the dial; the axis itself
        // stays clear between the needle's two lines, so the edge being measured shows through.
        if (name.find("_pin.png") != std::string::npos || name.find("_originPin.png") != std::string::npos) {
            const int pivotX = name.rfind("landscape", 0) == 0 ? 15 : 10;
            EXPECT_GT(img.height, 631) << name;
            EXPECT_GE(img.width, 2 * pivotX) << name;
            const size_t row = static_cast<size_t>(300) * img.width;
            EXPECT_EQ(img.pixels[row + pivotX] >> 24, 0u) << name << " axis";
            EXPECT_EQ(img.pixels[row + pivotX - 1] >> 24, 0xFFu) << name << " line left of the axis";
            EXPECT_EQ(img.pixels[row + pivotX + 1] >> 24, 0xFFu) << name << " line right of the axis";
            continue;
        }
        ASSERT_TRUE(want.count(name)) << "unexpected file " << name;
        EXPECT_EQ(img.width, want[name].w) << name;
        EXPECT_EQ(img.height, want[name].h) << name;
    }
    EXPECT_EQ(files, 43);
}

TEST(ResFolder, HoldsExactlyTheNamedFilesAndTheFormAsksForEachOfThem)
{
    const auto& names = testing_support::ResourceNames();
    std::set<std::string> listed(names.begin(), names.end());
    EXPECT_EQ(listed.size(), names.size()) << "a name is listed twice";
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(testing_support::SourceRes())) {
        found.insert(entry.path().filename().string());
    }
    EXPECT_EQ(found, listed);
    // An empty folder: the form asks for every file once by name, and says it is missing.
    HarnessOptions o;
    o.resDir = CopyRes("none-at-all", names);
    Harness h(o);
    for (const auto& name : names) {
        EXPECT_GE(h.Log().Count(name + ": file not found"), 1) << name;
    }
}
