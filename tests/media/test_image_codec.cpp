// Reading PNG, JPEG, GIF and BMP files into premultiplied ARGB: every colour type and layout
// of each format, the decoder a name or the content chooses, and a video frame's size.
#include "media/test_image_codec_files.h"

using namespace testing_support::codec_files;

TEST_F(ImageCodecTest, PngColourTypesAllBecomePremultipliedArgb)
{
    writePng(path("rgba.png"), 2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {200, 100, 50, 128, 10, 20, 30, 255});
    Decoded d = decodeOk(path("rgba.png"), 2, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0x80643219, 0xFF0A141E}));

    // 2-bit palette with tRNS: index 0 fully clear, index 1 half clear, the rest opaque.
    writePng(path("pal.png"), 4, 1, PNG_COLOR_TYPE_PALETTE, 2, {0x1B}, PNG_INTERLACE_NONE,
             {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {9, 9, 9}}, {0, 128});
    d = decodeOk(path("pal.png"), 4, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0, 0x80000080, 0xFF00FF00, 0xFF090909}));

    writePng(path("grey16.png"), 2, 1, PNG_COLOR_TYPE_GRAY, 16, {0x80, 0x80, 0xFF, 0xFF});
    d = decodeOk(path("grey16.png"), 2, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0xFF808080, 0xFFFFFFFF}));

    writePng(path("greyalpha.png"), 1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {100, 51});
    EXPECT_EQ(decodeOk(path("greyalpha.png"), 1, 1).img.pixels[0], 0x33141414u);

    writePng(path("bits.png"), 4, 1, PNG_COLOR_TYPE_GRAY, 1, {0xA0});
    d = decodeOk(path("bits.png"), 4, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000}));

    // Adam7 puts neighbouring pixels in different passes; every one must land in its place.
    Bytes rows;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            rows.insert(rows.end(), {std::uint8_t(x * 20), std::uint8_t(y * 20), std::uint8_t(x + y)});
    writePng(path("adam7.png"), 9, 9, PNG_COLOR_TYPE_RGB, 8, rows, PNG_INTERLACE_ADAM7);
    d = decodeOk(path("adam7.png"), 9, 9);
    for (int y = 0; y < 9 && d.ok; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(d.img.pixels[y * 9 + x], 0xFF000000u | (x * 20) << 16 | (y * 20) << 8 | (x + y)) << x << "," << y;
}

TEST_F(ImageCodecTest, JpegColourSpacesDecodeWithinTolerance)
{
    // Four flat quadrants, so chroma subsampling only blurs near the seams we do not probe.
    const unsigned quad[4][3] = {{200, 30, 40}, {20, 180, 90}, {40, 60, 220}, {240, 240, 40}};
    Bytes rgb;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            for (unsigned v : quad[(y / 16) * 2 + x / 16]) rgb.push_back(std::uint8_t(v));
    for (bool progressive : {false, true}) {
        writeJpeg(path("q.jpg"), 32, 32, JCS_RGB, 3, rgb, progressive);
        Decoded d = decodeOk(path("q.jpg"), 32, 32);
        for (int q = 0; q < 4 && d.ok; ++q)
            expectNear(d.img.pixels[((q / 2) * 16 + 8) * 32 + (q % 2) * 16 + 8], quad[q][0], quad[q][1], quad[q][2], 6);
    }

    writeJpeg(path("grey.jpeg"), 16, 16, JCS_GRAYSCALE, 1, Bytes(256, 77));
    Decoded d = decodeOk(path("grey.jpeg"), 16, 16);
    if (d.ok) expectNear(d.img.pixels[100], 77, 77, 77, 2);

    // libjpeg marks CMYK files as Adobe's, whose ink values are stored inverted: this is red.
    Bytes cmyk;
    for (int i = 0; i < 256; ++i) cmyk.insert(cmyk.end(), {255, 0, 0, 255});
    writeJpeg(path("cmyk.jpg"), 16, 16, JCS_CMYK, 4, cmyk);
    d = decodeOk(path("cmyk.jpg"), 16, 16);
    if (d.ok) expectNear(d.img.pixels[100], 255, 0, 0, 4);
}

TEST_F(ImageCodecTest, GifTakesFirstFrameWithTransparencyAndInterlace)
{
    // A 4x10 interlaced frame at (1,0) on a 6x10 screen; index 3 is transparent.
    std::vector<GifPixelType> px(40);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 4; ++x) px[y * 4 + x] = GifPixelType((x + y) % 4);
    GifFrame second{0, 0, 6, 10, false, -1, std::vector<GifPixelType>(60, 0)};
    writeGif(path("anim.gif"), 6, 10, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}},
             {{1, 0, 4, 10, true, 3, px}, second});
    Decoded d = decodeOk(path("anim.gif"), 6, 10);
    const std::uint32_t colour[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0};
    for (int y = 0; y < 10 && d.ok; ++y) {
        EXPECT_EQ(d.img.pixels[y * 6], 0u) << "outside the frame, row " << y;
        EXPECT_EQ(d.img.pixels[y * 6 + 5], 0u) << "outside the frame, row " << y;
        for (int x = 0; x < 4; ++x) EXPECT_EQ(d.img.pixels[y * 6 + 1 + x], colour[(x + y) % 4]) << x << "," << y;
    }
}

TEST_F(ImageCodecTest, BmpRowOrderPaletteAndAlpha)
{
    // Bottom-up storage: the file's first row is the picture's last.
    const Bytes rows = {255, 0, 0, 255, 255, 255, 0, 0, /* blue, white */ 0, 0, 255, 0, 255, 0, 0, 0 /* red, green */};
    writeFile(path("up.bmp"), makeBmp(2, 2, 24, rows));
    Decoded d = decodeOk(path("up.bmp"), 2, 2);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}));
    writeFile(path("down.bmp"), makeBmp(2, -2, 24, rows));
    d = decodeOk(path("down.bmp"), 2, 2);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0xFF0000FF, 0xFFFFFFFF, 0xFFFF0000, 0xFF00FF00}));

    const Bytes palette = {0, 0, 200, 0, 200, 0, 0, 0}; // red, blue
    writeFile(path("pal.bmp"), makeBmp(3, 1, 8, {0, 1, 0, 0}, palette));
    d = decodeOk(path("pal.bmp"), 3, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0xFFC80000, 0xFF0000C8, 0xFFC80000}));
    // Index 2 has no palette entry behind it.
    writeFile(path("badpal.bmp"), makeBmp(3, 1, 8, {0, 2, 0, 0}, palette));
    expectFailure(path("badpal.bmp"), "corrupt BMP data");

    writeFile(path("alpha.bmp"), makeBmp(2, 1, 32, {50, 100, 200, 128, 30, 20, 10, 255}));
    d = decodeOk(path("alpha.bmp"), 2, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0x80643219, 0xFF0A141E}));
}

TEST_F(ImageCodecTest, SuffixChoosesDecoderAndContentMustMatch)
{
    const Bytes png = readFile(samplePng()), jpeg = readFile(sampleJpeg());
    for (const char* name : {"UPPER.PNG", "xpng", "a.PnG"}) {
        writeFile(path(name), png);
        decodeOk(path(name), 3, 2);
    }
    for (const char* name : {"b.JPEG", "cjpg", "d.Jpg"}) {
        writeFile(path(name), jpeg);
        decodeOk(path(name), 16, 8);
    }
    writeFile(path("e.tiff"), png);
    expectFailure(path("e.tiff"), "unsupported image format");
    writeFile(path("png-named.jpg"), png);
    expectFailure(path("png-named.jpg"), "not a JPEG file");
    writeFile(path("jpeg-named.png"), jpeg);
    expectFailure(path("jpeg-named.png"), "not a PNG file");
    writeFile(path("png-named.gif"), png);
    expectFailure(path("png-named.gif"), "not a GIF file");
    writeFile(path("png-named.bmp"), png);
    expectFailure(path("png-named.bmp"), "not a BMP file");
}

TEST_F(ImageCodecTest, ContentNamesThePictureWhateverTheFileIsCalled)
{
    struct Sample {
        std::string file;
        const char* format;
        int width, height;
    };
    for (const Sample& s : {Sample{samplePng(), "PNG", 3, 2}, Sample{sampleJpeg(), "JPEG", 16, 8},
                            Sample{sampleGif(), "GIF", 8, 5}, Sample{sampleBmp(), "BMP", 2, 2}}) {
        const std::string renamed = path(std::string("picture-") + s.format + ".mp4");
        writeFile(renamed, readFile(s.file));
        const char* format = codec::PictureFormatOf(renamed);
        ASSERT_NE(format, nullptr) << s.format;
        EXPECT_STREQ(format, s.format);
        DecodedImage img;
        std::string reason;
        EXPECT_TRUE(codec::DecodeImageFile(renamed, img, reason, {}, codec::Recognise::ByContent)) << reason;
        EXPECT_EQ(img.width, s.width);
        EXPECT_EQ(img.height, s.height);
        // By its suffix the same file is no picture at all.
        EXPECT_FALSE(codec::DecodeImageFile(renamed, img, reason));
    }

    // Text that happens to start like a BMP, a missing file and a FIFO (never opened, so
    // nothing hangs) are no pictures.
    writeFile(path("notes.txt"), Bytes{'B', 'M', ' ', 'i', 's', ' ', 'n', 'o', 't', ' ',
                                       'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e', '\n'});
    EXPECT_EQ(codec::PictureFormatOf(path("notes.txt")), nullptr);
    EXPECT_EQ(codec::PictureFormatOf(path("missing.gif")), nullptr);
    ASSERT_EQ(mkfifo(path("pipe.gif").c_str(), 0600), 0);
    EXPECT_EQ(codec::PictureFormatOf(path("pipe.gif")), nullptr);
    DecodedImage img;
    std::string reason;
    EXPECT_FALSE(codec::DecodeImageFile(path("notes.txt"), img, reason, {}, codec::Recognise::ByContent));
    EXPECT_EQ(reason, "not a picture (PNG, JPEG, GIF or BMP)");
    // Content that announces nothing is judged by the suffix's decoder.
    writeFile(path("notes.jpg"), readFile(path("notes.txt")));
    EXPECT_FALSE(codec::DecodeImageFile(path("notes.jpg"), img, reason, {}, codec::Recognise::ByContent));
    EXPECT_EQ(reason, "not a JPEG file");
}

// A video's JPEG frames are sized from their headers alone: baseline or progressive, past
// whatever segments come first, and never past the data's end.
TEST_F(ImageCodecTest, JpegFrameSizeReadsTheFrameHeaderOnly)
{
    std::uint32_t w = 0, h = 0;
    auto sizeOf = [&](const Bytes& b) { return codec::JpegFrameSize(b.data(), b.size(), w, h); };
    Bytes px(37 * 21 * 3, 0x55);
    for (bool progressive : {false, true}) {
        writeJpeg(path("f.jpg"), 37, 21, JCS_RGB, 3, px, progressive);
        Bytes jpeg = readFile(path("f.jpg"));
        ASSERT_TRUE(sizeOf(jpeg)) << progressive;
        EXPECT_EQ(w, 37u);
        EXPECT_EQ(h, 21u);
        // A comment and fill bytes before the frame header change nothing.
        Bytes padded(jpeg.begin(), jpeg.begin() + 2);
        padded.insert(padded.end(), {0xFF, 0xFE, 0x00, 0x05, 'a', 'b', 'c', 0xFF, 0xFF});
        padded.insert(padded.end(), jpeg.begin() + 2, jpeg.end());
        ASSERT_TRUE(sizeOf(padded));
        EXPECT_EQ(w, 37u);
        // Cut off inside the frame header: no size.
        std::size_t sof = 0;
        for (std::size_t i = 2; i + 1 < jpeg.size() && !sof; ++i)
            if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) sof = i;
        ASSERT_GT(sof, 0u);
        EXPECT_FALSE(sizeOf(Bytes(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(sof + 8))));
        EXPECT_TRUE(sizeOf(Bytes(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(sof + 9))));
    }
    EXPECT_FALSE(sizeOf(readFile(samplePng())));
    EXPECT_FALSE(sizeOf(Bytes{0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02})); // image data before any frame header
    EXPECT_FALSE(sizeOf(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xFF})); // a segment longer than the data
}
