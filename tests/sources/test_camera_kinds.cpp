// The camera's table of kinds: which kind claims a name the user gives (a device, a picture by
// content or by name, anything else a video), the first claim winning, and what it makes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <sys/stat.h>

#include "sources/CameraKinds.h"
#include "sources/MediaKind.h"
#include "support/Scratch.h"

using sources::CameraKinds;
using sources::MediaKind;
using testing_support::ScratchDir;

namespace {

const std::string kPngStart("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
const std::string kAviStart("RIFF\0\0\0\0AVI LIST", 16);

// A source that only says what it was made for.
class Named : public device::CameraSource {
public:
    Named(std::string kind, std::string source) : m_text(std::move(kind) + " " + std::move(source)) {}
    std::string Describe() const override { return m_text; }
    bool Open(std::string&) override { return true; }
    bool Render(std::int64_t, const device::PixelView&, std::string&) override { return true; }

private:
    std::string m_text;
};

CameraKinds::Maker MakerOf(const std::string& kind)
{
    return [kind](const std::string& source) { return std::make_unique<Named>(kind, source); };
}

// The kinds the launcher has, in its order, with stand-ins for what the backends make.
CameraKinds Table()
{
    CameraKinds kinds;
    kinds.Add("demo", sources::NamesNothing, MakerOf("demo"));
    kinds.Add("webcam", sources::IsCameraDevice, MakerOf("webcam"));
    kinds.Add("picture", sources::IsPicture, MakerOf("picture"));
    kinds.Add("video", sources::AnyName, MakerOf("video"));
    return kinds;
}

std::string KindOf(const CameraKinds& kinds, const std::string& source)
{
    const CameraKinds::Kind* kind = kinds.Find(source);
    return kind ? kind->name : "(none)";
}

} // namespace

TEST(CameraKinds, EachNameGoesToTheKindThatClaimsItFirst)
{
    ScratchDir dir("camera-kinds");
    std::ofstream(dir.File("png.mp4"), std::ios::binary) << kPngStart;
    std::ofstream(dir.File("avi.jpg"), std::ios::binary) << kAviStart;
    std::ofstream(dir.File("notes.txt")) << "not a picture\n";
    ASSERT_EQ(::mkfifo(dir.File("pipe.png").c_str(), 0600), 0);
    const CameraKinds kinds = Table();
    const struct {
        std::string source, kind;
    } cases[] = {
        {"", "demo"},
        // A character device wherever it is; a missing name under /dev/video is a webcam too.
        {"/dev/null", "webcam"},
        {"/dev/video-that-is-not-there", "webcam"},
        {"/dev/v4l/by-id/gone", "webcam"},
        // The content tells first, then the name: a missing or unreadable photo is told as a
        // photo, and a FIFO is judged by its name without waiting on it.
        {dir.File("png.mp4"), "picture"},
        {dir.File("avi.jpg"), "picture"},
        {dir.File("missing.JPEG"), "picture"},
        {dir.File("pipe.png"), "picture"},
        {dir.File("missing.bmp"), "picture"},
        {dir.File("notes.txt"), "video"},
        {dir.File("clip.mp4"), "video"},
        {dir.File("jpg"), "video"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KindOf(kinds, c.source), c.kind) << c.source;
    }
}

TEST(CameraKinds, AFactoryMakesAFreshSourceOfTheNameEachTimeAndNoKindMakesNothing)
{
    const CameraKinds kinds = Table();
    const auto factory = kinds.FactoryFor("/dev/null");
    ASSERT_TRUE(factory);
    const auto first = factory(), second = factory();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(first->Describe(), "webcam /dev/null");
    EXPECT_EQ(kinds.Make("")->Describe(), "demo ");

    CameraKinds none;
    none.Add("demo", sources::NamesNothing, MakerOf("demo"));
    EXPECT_FALSE(none.FactoryFor("photo.jpg"));
    EXPECT_EQ(none.Make("photo.jpg"), nullptr);
}

TEST(CameraKinds, NamesAreJudgedByTheirEndingInAnyCase)
{
    for (const char* name : {"a.jpg", "a.JPEG", "dir/b.Png", "c.gif", "d.bmp"}) {
        EXPECT_EQ(sources::MediaKindByName(name), MediaKind::Picture) << name;
    }
    for (const char* name : {"a.mp4", "a.MKV", "b.webm", "c.avi", "d.mov", "e.ogv", "f.m4v"}) {
        EXPECT_EQ(sources::MediaKindByName(name), MediaKind::Video) << name;
    }
    for (const char* name : {"", "jpg", "a.jpg.txt", "a.mp", "png"}) {
        EXPECT_EQ(sources::MediaKindByName(name), MediaKind::None) << name;
    }
}
