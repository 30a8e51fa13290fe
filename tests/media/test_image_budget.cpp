// Decoded images stay within the phone's memory for them: one too large is refused from its
// header, and once the images alive fill the budget the next one is refused until one goes.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "codec/ImageCodec.h"
#include "graphics/ImageBudget.h"
#include "osp/Graphics.h"
#include "osp/Media.h"
#include "support/Harness.h"
#include "support/Scratch.h"

using namespace Osp::Graphics;
using testing_support::LogCapture;

namespace {

// A PNG of one colour; zlib keeps it small on disk whatever its size.
std::string PlainPng(const testing_support::ScratchDir& dir, const std::string& name, int w, int h)
{
    std::vector<std::uint32_t> px(static_cast<size_t>(w) * h, 0xFF336699u);
    std::string reason;
    EXPECT_TRUE(codec::WritePngFile(dir.File(name), px.data(), w, h, w * 4, reason)) << reason;
    return dir.File(name);
}

std::unique_ptr<Bitmap> Decode(const std::string& path, BitmapPixelFormat format = BITMAP_PIXEL_FORMAT_ARGB8888)
{
    Osp::Media::Image image;
    image.Construct();
    return std::unique_ptr<Bitmap>(image.DecodeN(path.c_str(), format));
}

} // namespace

TEST(ImageBudget, AnImageClaimingMoreThanASideAllowsIsRefusedWithAReason)
{
    testing_support::ScratchDir dir("image-budget");
    // Only the signature and the header: a decoder that believed it would allocate 256 MiB.
    const unsigned char ihdr[] = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I',  'H',  'D',  'R', 0,
                                  0,    0x20, 0,   0,   0,    0x20, 0,    8,    6, 0, 0, 0,  0x38, 0x7D, 0x5C, 0xF5};
    std::ofstream(dir.File("claims.png"), std::ios::binary).write(reinterpret_cast<const char*>(ihdr), sizeof ihdr);

    LogCapture log;
    const std::uint64_t before = graphics::ImageBytesInUse();
    EXPECT_EQ(Decode(dir.File("claims.png")), nullptr);
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_NE(log.records[0].message.find("image too large (8192x8192; an image may be at most 4096x4096)"),
              std::string::npos)
        << log.records[0].message;
    EXPECT_EQ(graphics::ImageBytesInUse(), before);

    // The largest image allowed is decoded.
    EXPECT_NE(Decode(PlainPng(dir, "edge.png", 4096, 1)), nullptr);
}

TEST(ImageBudget, ImagesAliveTogetherStayWithinTheBudgetAndGiveItBackWhenTheyGo)
{
    testing_support::ScratchDir dir("image-budget");
    // Each takes a little over half the budget in ARGB, a little over a quarter in RGB565.
    const std::string big = PlainPng(dir, "big.png", 3000, 3000);
    const std::uint64_t before = graphics::ImageBytesInUse();
    LogCapture log;

    auto first = Decode(big);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetWidth(), 3000);
    EXPECT_EQ(graphics::ImageBytesInUse(), before + 3000ull * 3000 * 4);

    EXPECT_EQ(Decode(big), nullptr);
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_NE(log.records[0].message.find("not enough image memory (3000x3000 needs 34.3 MiB;"), std::string::npos)
        << log.records[0].message;
    EXPECT_NE(log.records[0].message.find("of 64.0 MiB in use)"), std::string::npos) << log.records[0].message;

    // Kept at 16 bits a pixel it fits beside the first.
    auto small = Decode(big, BITMAP_PIXEL_FORMAT_RGB565);
    EXPECT_NE(small, nullptr);
    small.reset();

    first.reset();
    EXPECT_EQ(graphics::ImageBytesInUse(), before);
    EXPECT_NE(Decode(big), nullptr);
    EXPECT_EQ(graphics::ImageBytesInUse(), before);
}

// Decodes racing each other: each asks the budget from its header before the others have
// taken theirs, so the budget must be asked again, and taken at once, when a bitmap is
// charged to it. With room for one picture, one of the racers gets it.
TEST(ImageBudget, DecodesRacingEachOtherTakeNoMoreThanTheBudget)
{
    testing_support::ScratchDir dir("image-budget");
    const std::uint64_t before = graphics::ImageBytesInUse();
    // Fill the budget but for one and a half small pictures.
    constexpr int kSide = 500;
    constexpr std::uint64_t kSmall = std::uint64_t(kSide) * kSide * 4;
    const std::uint64_t room = kSmall * 3 / 2;
    ASSERT_GT(graphics::kImageBudgetBytes - before, room + 4096 * 4);
    const int fillerRows = int((graphics::kImageBudgetBytes - before - room) / (4096 * 4));
    LogCapture log;
    auto filler = Decode(PlainPng(dir, "filler.png", 4096, fillerRows));
    ASSERT_NE(filler, nullptr);
    const std::uint64_t left = graphics::kImageBudgetBytes - graphics::ImageBytesInUse();
    ASSERT_GE(left, kSmall);
    ASSERT_LT(left, 2 * kSmall);

    const std::string small = PlainPng(dir, "small.png", kSide, kSide);
    constexpr int kThreads = 6, kRounds = 30;
    for (int round = 0; round < kRounds; ++round) {
        std::atomic<int> ready{0};
        std::vector<std::unique_ptr<Bitmap>> got(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                ready.fetch_add(1);
                while (ready.load() < kThreads) std::this_thread::yield();
                got[std::size_t(t)] = Decode(small);
            });
        for (auto& thread : threads) thread.join();
        int decoded = 0;
        for (const auto& bitmap : got) decoded += bitmap != nullptr;
        ASSERT_EQ(decoded, 1) << "round " << round;
        ASSERT_LE(graphics::ImageBytesInUse(), graphics::kImageBudgetBytes) << "round " << round;
    }
    filler.reset();
    EXPECT_EQ(graphics::ImageBytesInUse(), before);
}
