// Running out of memory while decoding an image, making a bitmap, turning one for drawing or
// making a camera frame: each is a failed call with a reason, logged once, never an abort.
// This binary replaces operator new so that big allocations fail on demand.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "base/Log.h"
#include "codec/ImageCodec.h"
#include "demo/DemoScene.h"
#include "device/Device.h"
#include "graphics/BitmapData.h"
#include "graphics/ImageBudget.h"
#include "graphics/Painter.h"
#include "instrument/Finger.h"
#include "osp/Graphics.h"
#include "osp/Media.h"
#include "support/Scratch.h"

namespace {

// Allocations of at least this many bytes fail once the allowance is spent.
std::atomic<std::size_t> g_failFrom{SIZE_MAX};
std::atomic<int> g_bigAllowed{0};

} // namespace

// Both sides are malloc and free; gcc cannot see that through the replaced operator new.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size)
{
    if (size >= g_failFrom.load() && g_bigAllowed.fetch_sub(1) <= 0) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
// The nothrow form (std::stable_sort's buffer, say) fails the same way, and is freed by the
// same delete: left to the library's own, its memory would come from another allocator.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { ::operator delete(p); }
#pragma GCC diagnostic pop

using namespace Osp::Base;
using namespace Osp::Graphics;

namespace {

// While it lives, allocations of `from` bytes or more fail after the first `allowed` of them.
struct BigAllocationsFail {
    BigAllocationsFail(std::size_t from, int allowed)
    {
        g_bigAllowed = allowed;
        g_failFrom = from;
    }
    ~BigAllocationsFail() { g_failFrom = SIZE_MAX; }
};

struct Records {
    Records() : token(oslog::AddHook([this](const oslog::Record& r) { messages.push_back(r.message); }))
    {
        oslog::SetStderr(false);
    }
    ~Records()
    {
        oslog::RemoveHook(token);
        oslog::SetStderr(true);
    }
    std::vector<std::string> messages;
    int token;
};

constexpr std::size_t kMiB = 1024 * 1024;

} // namespace

TEST(OutOfMemory, DecodingAnImageFailsWithOneLineWhereverTheMemoryRunsOut)
{
    testing_support::ScratchDir dir("out-of-memory");
    std::vector<std::uint32_t> px(1024 * 1024, 0xFF808080u);
    std::string reason;
    ASSERT_TRUE(codec::WritePngFile(dir.File("grey.png"), px.data(), 1024, 1024, 4096, reason)) << reason;
    px = {};
    Osp::Media::Image image;
    image.Construct();
    const std::uint64_t budget = graphics::ImageBytesInUse();

    // 0: the decoder's own pixels cannot be had; 1: the bitmap's cannot.
    for (int allowed : {0, 1}) {
        Records log;
        Bitmap* bitmap = nullptr;
        {
            BigAllocationsFail fail(kMiB, allowed);
            EXPECT_NO_THROW(bitmap = image.DecodeN(dir.File("grey.png").c_str(), BITMAP_PIXEL_FORMAT_ARGB8888));
        }
        EXPECT_EQ(bitmap, nullptr) << allowed;
        delete bitmap;
        ASSERT_EQ(log.messages.size(), 1u) << allowed;
        EXPECT_NE(log.messages[0].find("grey.png: out of memory"), std::string::npos) << log.messages[0];
        EXPECT_EQ(graphics::ImageBytesInUse(), budget);
    }
    // With memory again the same file decodes.
    std::unique_ptr<Bitmap> bitmap(image.DecodeN(dir.File("grey.png").c_str(), BITMAP_PIXEL_FORMAT_ARGB8888));
    EXPECT_NE(bitmap, nullptr);
}

TEST(OutOfMemory, ABitmapThatCannotBeMadeIsAnOutOfMemoryResult)
{
    Records log;
    Bitmap bitmap;
    {
        BigAllocationsFail fail(kMiB, 0);
        EXPECT_EQ(bitmap.Construct(Dimension(1024, 1024), BITMAP_PIXEL_FORMAT_ARGB8888), E_OUT_OF_MEMORY);
    }
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0], "bitmap: cannot make a 1024x1024 bitmap: out of memory");
    EXPECT_EQ(bitmap.GetWidth(), 0);
    // The failed call left it unmade: it can still be made.
    EXPECT_EQ(bitmap.Construct(Dimension(1024, 1024), BITMAP_PIXEL_FORMAT_ARGB8888), E_SUCCESS);
}

TEST(OutOfMemory, ABitmapThatCannotBeTurnedIsLeftOutOfTheFrameAndToldOnce)
{
    std::vector<std::uint32_t> needle(200 * 8, 0xFFFF0000u);
    const auto bitmap = graphics::MakeBitmapData(200, 8, needle.data(), BITMAP_PIXEL_FORMAT_ARGB8888, "needle.png");
    ASSERT_NE(bitmap, nullptr);
    std::vector<std::uint32_t> screen(400 * 400, 0);
    pixman_image_t* target = pixman_image_create_bits(PIXMAN_a8r8g8b8, 400, 400, screen.data(), 400 * 4);
    const ui::Painter painter(target, 400, 400);

    Records log;
    {
        BigAllocationsFail fail(4096, 0);
        for (int degree : {90, 33, 270, 33}) {
            EXPECT_NO_THROW(painter.DrawBitmapTurned(*bitmap, 200, 200, 0, 4, degree)) << degree;
        }
    }
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0], "canvas: cannot turn needle.png: out of memory; it is left out");
    EXPECT_EQ(std::count(screen.begin(), screen.end(), 0u), static_cast<long>(screen.size()));

    // With memory again it is drawn turned: straight up from the point, not as it lies.
    painter.DrawBitmapTurned(*bitmap, 200, 200, 0, 4, 90);
    EXPECT_EQ(screen[100 * 400 + 200], 0xFFFF0000u);
    EXPECT_EQ(screen[200 * 400 + 300], 0u);
    pixman_image_unref(target);
}

namespace {

class FlatSource final : public device::CameraSource {
public:
    std::string Describe() const override { return "flat source"; }
    bool Open(std::string&) override { return true; }
    std::vector<device::FrameSize> Resolutions() const override { return {{640, 480}}; }
    bool Render(std::int64_t, const device::PixelView& out, std::string&) override
    {
        for (int y = 0; y < out.height; y++) {
            std::fill(out.Row(y), out.Row(y) + out.width, 0xFF00FF00u);
        }
        return true;
    }
};

} // namespace

TEST(OutOfMemory, ACameraFrameThatCannotBeMadeKeepsTheLastPictureAndIsToldOnce)
{
    device::DeviceConfig config;
    config.cameraSource = [] { return std::make_unique<FlatSource>(); };
    device::Device dev(config);
    std::vector<std::string> notices;
    dev.SetNoticeHook([&](const char*, int, const std::string& m) { notices.push_back(m); });

    std::vector<std::uint32_t> target(800 * 480, 0xFF000000u);
    const device::PixelView view{target.data(), 800, 480, 800 * 4};
    {
        BigAllocationsFail fail(kMiB, 0);
        for (int i = 0; i < 3; i++) {
            bool captured = true;
            EXPECT_NO_THROW(captured = dev.Camera().Capture(0, {640, 480}, view));
            EXPECT_FALSE(captured);
        }
    }
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], "camera: no memory for a 640x480 frame; the picture stands still");
    EXPECT_EQ(target[240 * 800 + 400], 0xFF000000u);
    EXPECT_TRUE(dev.Camera().Capture(0, {640, 480}, view));
    EXPECT_EQ(target[240 * 800 + 400], 0xFF00FF00u);
}

TEST(OutOfMemory, TheDemoSceneSaysItRanOutOfMemoryAndTheScreenStillComposes)
{
    demo::DemoScene scene;
    std::string reason;
    ASSERT_TRUE(scene.Open(reason));
    std::vector<std::uint32_t> frame(800 * 480, 0);
    device::Display display;
    {
        BigAllocationsFail fail(kMiB, 0);
        EXPECT_FALSE(scene.Render(0, {frame.data(), 800, 480, 800 * 4}, reason));
        // The screen's buffer was made with the display: a last screenshot still has a picture.
        device::PixelView screen;
        EXPECT_NO_THROW(screen = display.Compose());
        EXPECT_NE(screen.pixels, nullptr);
        EXPECT_EQ(screen.width * screen.height, 800 * 480);
    }
    EXPECT_EQ(reason, "out of memory for a 800x480 picture");
    EXPECT_TRUE(scene.Render(0, {frame.data(), 800, 480, 800 * 4}, reason)) << reason;
}

TEST(OutOfMemory, TheDevicesFingerSaysItCannotSearchThePictureAndTouchesNothing)
{
    device::DeviceConfig config;
    config.cameraSource = [] { return std::make_unique<demo::DemoScene>(); };
    device::Device dev(config);
    ASSERT_TRUE(dev.Camera().EnsureSource());
    instrument::NeedleWatch watch(dev);
    {
        BigAllocationsFail fail(kMiB, 0);
        instrument::Plan plan;
        EXPECT_NO_THROW(plan = instrument::PlanCorner(dev, instrument::Ask(dev, watch, {405, 463})));
        EXPECT_EQ(plan.notice, "cannot search the camera's picture: std::bad_alloc");
        EXPECT_TRUE(plan.touches.empty());
        EXPECT_FALSE(plan.aims);
    }
    // With memory again, the roof's ridge is found.
    const instrument::Plan plan = instrument::PlanCorner(dev, instrument::Ask(dev, watch, {405, 463}));
    EXPECT_EQ(plan.notice, "");
    EXPECT_FALSE(plan.touches.empty());
}
