// Every one of the application's images missing, cut short, or replaced by garbage: the
// application starts, is used, ends cleanly, never draws what it could not decode, and
// the platform says which file and why, once per attempt to decode it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/Harness.h"

using testing_support::CopyRes;
using testing_support::Harness;
using testing_support::HarnessOptions;

namespace fs = std::filesystem;

namespace {

enum class Damage { Missing, Truncated, Garbage };

void Spoil(const fs::path& file, Damage damage)
{
    if (damage == Damage::Missing) {
        fs::remove(file);
        return;
    }
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (damage == Damage::Truncated) {
        out << bytes.substr(0, bytes.size() / 3);
    } else {
        for (size_t i = 0; i < bytes.size(); i++) {
            out.put(static_cast<char>((i * 131 + 7) & 0xFF));
        }
    }
}

// A little of everything a user does.
void Use(Harness& h)
{
    h.Tilt(-90);
    h.Drag(400, 400, 300, 350);
    h.Drag(650, 300, 700, 250);
    h.Tap(753, 48); // hold
    h.Frames(1);
    h.Drag(400, 420, 450, 400);
    h.Tap(40, 115); // help
    h.Frames(1);
    h.Drag(240, 400, 240, 200); // scroll it
    h.Tap(400, 32); // back
    h.Tilt(0);
    h.Drag(400, 200, 300, 240);
    h.Frames(3);
    h.Screen().Compose();
}

} // namespace

// One damage a test, so that the three share the machine's cores and none runs long.
class BrokenResources : public testing::TestWithParam<Damage> {};

TEST_P(BrokenResources, EachImageInTurn)
{
    const Damage damage = GetParam();
    const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const auto& e : fs::directory_iterator(testing_support::SourceRes())) {
            v.push_back(e.path().filename().string());
        }
        return v;
    }();
    ASSERT_EQ(names.size(), 43u);
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const fs::path dir = CopyRes("broken-res");
        Spoil(dir / name, damage);
        HarnessOptions o;
        o.resDir = dir.string();
        {
            Harness h(o);
            Use(h);
            for (const auto& d : h.ShownDraws()) {
                ASSERT_NE(d.rfind(name + "@", 0), 0u) << "drew " << d;
            }
            // One line for each attempt to decode it, naming it, and no other line.
            const int attempts = name == "blank.png" ? 6 : 1;
            EXPECT_EQ(h.Log().Count((dir / name).string()), attempts);
            EXPECT_EQ(static_cast<int>(h.Log().records.size()), attempts);
            h.Finish();
        }
        EXPECT_EQ(Osp::Graphics::Bitmap::GetLiveCount(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Each, BrokenResources, testing::Values(Damage::Missing, Damage::Truncated, Damage::Garbage),
                         [](const testing::TestParamInfo<Damage>& info) {
                             switch (info.param) {
                             case Damage::Missing: return "Missing";
                             case Damage::Truncated: return "CutShort";
                             case Damage::Garbage: return "Garbled";
                             }
                             return "Unknown";
                         });
