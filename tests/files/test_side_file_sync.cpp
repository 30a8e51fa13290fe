// A file takes its name only after its data reached the disk: every writer of the user's
// files syncs the whole file before naming it, and a failed sync leaves the old file whole.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "codec/ImageCodec.h"
#include "files/Settings.h"
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

// What each sync saw: how much of the file was written, and what the final name held then.
struct Seen {
    off_t written;
    std::string underTheName;
};
std::string g_name;
std::vector<Seen> g_seen;
bool g_fail = false;

int RecordingSync(int fd)
{
    struct stat st {};
    ::fstat(fd, &st);
    g_seen.push_back({st.st_size, Read(g_name)});
    if (g_fail) {
        errno = EIO;
        return -1;
    }
    return 0;
}

// Puts the recording sync in for a test and fsync back after it.
struct SyncWatch {
    explicit SyncWatch(const std::string& name, bool fail = false)
    {
        g_name = name;
        g_seen.clear();
        g_fail = fail;
        outpath::SetSyncCall(RecordingSync);
    }
    ~SyncWatch() { outpath::SetSyncCall(nullptr); }
};

int Entries(const std::string& folder)
{
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        (void)e;
        n++;
    }
    return n;
}

const std::uint32_t kPixels[4] = {0xFF102030u, 0xFF405060u, 0xFF708090u, 0xFFA0B0C0u};

} // namespace

TEST(SideFileSync, EveryWriterSyncsTheWholeFileOnceBeforeItTakesItsName)
{
    const ScratchDir dir;
    const std::string settings = dir.File("settings.conf");
    std::ofstream(settings) << "window-x=1\n";
    const std::string old = Read(settings);
    outpath::Settings s;
    s.SetInt("window-x", 2);
    {
        SyncWatch watch(settings);
        std::string why;
        ASSERT_TRUE(outpath::SaveSettings(settings, s, why)) << why;
        ASSERT_EQ(g_seen.size(), 1u) << "the settings were named without a sync";
        EXPECT_EQ(g_seen[0].written, static_cast<off_t>(Read(settings).size()));
        EXPECT_EQ(g_seen[0].underTheName, old) << "the settings took their name before the sync";
    }
    const std::string shot = dir.File("shot.png");
    std::ofstream(shot) << "an older picture";
    {
        SyncWatch watch(shot);
        std::string why;
        ASSERT_TRUE(codec::WritePngFile(shot, kPixels, 2, 2, 8, why)) << why;
        ASSERT_EQ(g_seen.size(), 1u) << "the screenshot was named without a sync";
        EXPECT_EQ(g_seen[0].written, static_cast<off_t>(Read(shot).size()));
        EXPECT_EQ(g_seen[0].underTheName, "an older picture");
    }
    {
        SyncWatch watch(dir.File("saved.png"));
        std::string written, why;
        ASSERT_TRUE(codec::WriteNewPngFile(dir.File("saved"), kPixels, 2, 2, 8, written, why)) << why;
        ASSERT_EQ(written, dir.File("saved.png"));
        ASSERT_EQ(g_seen.size(), 1u) << "a new picture was named without a sync";
        EXPECT_EQ(g_seen[0].written, static_cast<off_t>(Read(written).size()));
        EXPECT_EQ(g_seen[0].underTheName, "") << "the new picture had its name before the sync";
    }
}

TEST(SideFileSync, AFailedSyncIsReportedAndLeavesTheOldFileWholeAndNothingBeside)
{
    const ScratchDir dir;
    const std::string settings = dir.File("settings.conf");
    std::ofstream(settings) << "window-x=1\n";
    const std::string shot = dir.File("shot.png");
    std::ofstream(shot) << "an older picture";
    SyncWatch watch(settings, true);
    std::string why;
    outpath::Settings s;
    s.SetInt("window-x", 2);
    EXPECT_FALSE(outpath::SaveSettings(settings, s, why));
    EXPECT_EQ(why, "cannot write the settings file " + settings + ": Input/output error");
    EXPECT_EQ(Read(settings), "window-x=1\n");

    why.clear();
    EXPECT_FALSE(codec::WritePngFile(shot, kPixels, 2, 2, 8, why));
    EXPECT_EQ(why, "cannot write " + shot + ": Input/output error");
    EXPECT_EQ(Read(shot), "an older picture");

    why.clear();
    std::string written;
    EXPECT_FALSE(codec::WriteNewPngFile(dir.File("saved"), kPixels, 2, 2, 8, written, why));
    EXPECT_NE(why.find("Input/output error"), std::string::npos) << why;
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(Entries(dir.Path()), 2) << "a name was taken or a side file left";
    EXPECT_EQ(g_seen.size(), 3u);
}
