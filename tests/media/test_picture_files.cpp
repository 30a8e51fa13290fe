// How pictures reach the disk: a new picture takes a free name without following or replacing
// anything, racing writers each keep theirs, and a writer killed midway leaves nothing behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <latch>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "codec/ImageCodec.h"
#include "files/SideFile.h"
#include "support/Scratch.h"

using testing_support::ScratchDir;

namespace {

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::set<std::string> Listing(const std::string& dir)
{
    std::set<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") {
                names.insert(n);
            }
        }
        ::closedir(d);
    }
    return names;
}

// The one colour a picture holds, or 0 when it does not decode.
std::uint32_t ColourOf(const std::string& path)
{
    codec::DecodedImage img;
    std::string reason;
    if (!codec::DecodeImageFile(path, img, reason) || img.pixels.empty()) {
        return 0;
    }
    return img.pixels[0];
}

// Waits for a condition with a generous bound, polling.
template <typename F>
bool WaitFor(F done, std::chrono::seconds bound = std::chrono::seconds(20))
{
    const auto until = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

TEST(PictureFiles, ANewPictureNeverFollowsOrReplacesWhatIsThere)
{
    ScratchDir dir("new-picture");
    const std::string stem = dir.File("veltora-20260101-120000");
    // Another user's file, and what a hostile writer planted under the first names.
    const std::string victim = dir.File("victim.txt");
    std::ofstream(victim) << "the user's own file";
    ASSERT_EQ(::symlink(victim.c_str(), (stem + ".png").c_str()), 0);
    std::ofstream(stem + "-2.png") << "an older picture";
    ASSERT_EQ(::symlink(dir.File("made-through-a-link").c_str(), (stem + "-3.png").c_str()), 0);

    const std::uint32_t pixel = 0xFF204060;
    std::string written, reason;
    ASSERT_TRUE(codec::WriteNewPngFile(stem, &pixel, 1, 1, 4, written, reason)) << reason;
    EXPECT_EQ(written, stem + "-4.png");
    EXPECT_EQ(ColourOf(written), pixel);
    EXPECT_EQ(Read(victim), "the user's own file");
    EXPECT_EQ(Read(stem + "-2.png"), "an older picture");
    struct stat st {};
    ASSERT_EQ(::lstat((stem + ".png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::lstat((stem + "-3.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(::lstat(dir.File("made-through-a-link").c_str(), &st), 0);
    // Nothing else appeared beside them.
    EXPECT_EQ(Listing(dir.Path()).size(), 5u);

    // A folder that cannot take it: one reason, nothing written.
    EXPECT_FALSE(codec::WriteNewPngFile(dir.File("missing/shot"), &pixel, 1, 1, 4, written, reason));
    EXPECT_EQ(reason, "cannot write " + dir.File("missing/shot") + ".png: No such file or directory");
    EXPECT_TRUE(written.empty());
}

TEST(PictureFiles, WritersRacingForOneNameEachKeepTheirPicture)
{
    ScratchDir dir("racing-pictures");
    constexpr int kWriters = 4;
    constexpr int kRounds = 10;
    for (int round = 0; round < kRounds; round++) {
        const std::string stem = dir.File("veltora-" + std::to_string(round));
        std::vector<std::string> written(kWriters);
        std::vector<std::string> reasons(kWriters);
        std::vector<std::uint32_t> colours(kWriters);
        std::latch start(kWriters);
        std::vector<std::thread> writers;
        for (int w = 0; w < kWriters; w++) {
            colours[w] = 0xFF000000u | static_cast<std::uint32_t>(round * kWriters + w + 1);
            writers.emplace_back([&, w] {
                start.arrive_and_wait();
                codec::WriteNewPngFile(stem, &colours[w], 1, 1, 4, written[w], reasons[w]);
            });
        }
        for (auto& t : writers) {
            t.join();
        }
        std::set<std::string> names;
        for (int w = 0; w < kWriters; w++) {
            ASSERT_FALSE(written[w].empty()) << reasons[w];
            names.insert(written[w]);
            // Each name holds the picture of the writer that reported it.
            EXPECT_EQ(ColourOf(written[w]), colours[w]) << written[w];
        }
        EXPECT_EQ(names.size(), size_t(kWriters)) << "two writers reported one name in round " << round;
        EXPECT_TRUE(names.count(stem + ".png"));
        EXPECT_TRUE(names.count(stem + "-" + std::to_string(kWriters) + ".png"));
    }
    EXPECT_EQ(Listing(dir.Path()).size(), size_t(kWriters * kRounds)) << "a side file was left";
}

// A writer killed while it writes: killed as soon as it is seen holding a file in the folder,
// after it has finished a few, so the kill lands in the middle of a picture.
TEST(PictureFiles, AWriterKilledMidwayLeavesOnlyCompletePictures)
{
    ScratchDir dir("killed-writer");
    const int unnamed = ::open(dir.Path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (unnamed < 0) {
        GTEST_SKIP() << "this filesystem has no unnamed files";
    }
    ::close(unnamed);
    // Noise, so that each picture takes a while to compress.
    constexpr int kSide = 1024;
    std::vector<std::uint32_t> noise(kSide * kSide);
    std::uint32_t seed = 12345;
    for (auto& p : noise) {
        seed = seed * 1664525u + 1013904223u;
        p = 0xFF000000u | (seed >> 8);
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (;;) {
            std::string written, reason;
            // Both ways a picture is written: as a new file, and over one that is there.
            codec::WriteNewPngFile(dir.File("shot"), noise.data(), kSide, kSide, kSide * 4, written, reason);
            codec::WritePngFile(dir.File("replaced.png"), noise.data(), kSide, kSide, kSide * 4, reason);
        }
    }
    const std::string fdDir = "/proc/" + std::to_string(child) + "/fd";
    // /proc names files by their real path.
    const std::string real = std::filesystem::canonical(dir.Path()).string() + "/";
    const auto writing = [&] {
        for (const std::string& fd : Listing(fdDir)) {
            char target[4096];
            const ssize_t n = ::readlink((fdDir + "/" + fd).c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, size_t(n)).rfind(real, 0) == 0) {
                return true;
            }
        }
        return false;
    };
    const bool seen = WaitFor([&] { return Listing(dir.Path()).size() >= 3 && writing(); });
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(seen) << "the writer was never seen writing";
    ASSERT_TRUE(WIFSIGNALED(status));

    // Only complete pictures: under their names, or (killed in the moment between the two
    // steps of replacing a file) under a hidden name that the next writer sweeps.
    for (const std::string& name : Listing(dir.Path())) {
        EXPECT_TRUE(name == "replaced.png" || name.rfind("shot", 0) == 0 || name.rfind(".veltora-", 0) == 0)
            << "left behind: " << name;
        codec::DecodedImage img;
        std::string reason;
        EXPECT_TRUE(codec::DecodeImageFile(dir.File(name), img, reason)) << name << ": " << reason;
    }
    std::string written, reason;
    ASSERT_TRUE(codec::WriteNewPngFile(dir.File("shot"), noise.data(), 1, 1, 4, written, reason)) << reason;
    for (const std::string& name : Listing(dir.Path())) {
        EXPECT_NE(name.rfind(".veltora-", 0), 0u) << "not swept: " << name;
    }
}

TEST(PictureFiles, WhereSideFilesHaveNamesThoseOfDeadWritersAreSwept)
{
    ScratchDir dir("swept-side-files");
    // A writer that dies holding a named side file.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        outpath::SideFile side;
        const char ok = side.Open(dir.File("x.png"), 0644, false) && !side.Unnamed() ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_EQ(ok, 'y');
    const std::set<std::string> held = Listing(dir.Path());
    ASSERT_EQ(held.size(), 1u);
    const std::string dead = *held.begin();
    EXPECT_LE(dead.size(), 64u) << "a side file's name stays short whatever it stands beside";
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    // Our own side file (a live writer), and one of the same pattern from another process space.
    outpath::SideFile mine;
    ASSERT_TRUE(mine.Open(dir.File("y.png"), 0644, false));
    const std::string other = ".veltora-0123456789abcdef-" + std::to_string(child) + "-0.part";
    std::ofstream(dir.File(other)) << "another machine's";

    outpath::SideFile next;
    ASSERT_TRUE(next.Open(dir.File("z.png"), 0644, false));
    const std::set<std::string> now = Listing(dir.Path());
    EXPECT_EQ(now.count(dead), 0u) << "the dead writer's side file stayed";
    EXPECT_EQ(now.count(other), 1u);
    EXPECT_EQ(now.count(mine.Name()), 1u);

    // Named side files take their names as unnamed ones do: never over what is there.
    std::ofstream(dir.File("z.png")) << "taken";
    ASSERT_EQ(::write(next.Fd(), "new", 3), 3);
    EXPECT_FALSE(next.Create(dir.File("z.png")));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_TRUE(next.Create(dir.File("z-2.png")));
    EXPECT_EQ(Read(dir.File("z.png")), "taken");
    EXPECT_EQ(Read(dir.File("z-2.png")), "new");
    ASSERT_TRUE(mine.Replace(dir.File("z.png")));
    EXPECT_EQ(Read(dir.File("z.png")), "");
    EXPECT_EQ(Listing(dir.Path()), (std::set<std::string>{other, "z.png", "z-2.png"}));
}

// A side file is named within its folder, so only the target's own path must fit.
TEST(PictureFiles, APathOfTheLongestLengthIsWrittenAndOneLongerIsRefused)
{
    ScratchDir dir("long-path");
    // The longest path: PATH_MAX counts the terminating zero.
    const size_t longest = PATH_MAX - 1;
    std::string folder = dir.Path();
    for (size_t need = longest - 6 - folder.size(); need > 0;) {
        const size_t part = need - 1 <= 200 ? need - 1 : 150;
        folder += "/" + std::string(part, 'd');
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0) << folder.size();
        need -= part + 1;
    }
    const std::string atLimit = folder + "/a.png";
    ASSERT_EQ(atLimit.size(), longest);
    const std::uint32_t pixel = 0xFF405060;
    std::string reason, written;
    EXPECT_TRUE(codec::WritePngFile(atLimit, &pixel, 1, 1, 4, reason)) << reason;
    EXPECT_TRUE(codec::WritePngFile(atLimit, &pixel, 1, 1, 4, reason)) << "replacing it: " << reason;
    EXPECT_TRUE(codec::WriteNewPngFile(folder + "/b", &pixel, 1, 1, 4, written, reason)) << reason;
    EXPECT_EQ(ColourOf(atLimit), pixel);
    EXPECT_EQ(ColourOf(written), pixel);
    EXPECT_FALSE(codec::WritePngFile(folder + "/ab.png", &pixel, 1, 1, 4, reason));
    EXPECT_NE(reason.find("File name too long"), std::string::npos) << reason;
    EXPECT_EQ(Listing(folder), (std::set<std::string>{"a.png", "b.png"}));
}
