// A settings file the user keeps by hand (in a dotfiles repository, linked into place): a save
// keeps their comments, their order and lines it does not own, writing through the link.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "files/Settings.h"
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

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// What the window does with the file: read it, change its own keys, write it back.
void Remember(const std::string& path, int width, int x, const std::string& addedMeanwhile = {})
{
    outpath::Settings s;
    const outpath::SettingsLoad load = outpath::LoadSettings(path, s);
    ASSERT_TRUE(load.mayWrite) << load.message;
    ASSERT_TRUE(load.message.empty()) << load.message;
    s.SetInt("window-width", width);
    s.SetInt("window-height", 540);
    s.SetInt("window-x", x);
    s.SetInt("window-y", 50);
    s.Remove("picture");
    if (!addedMeanwhile.empty()) {
        std::ofstream(path, std::ios::app | std::ios::binary) << addedMeanwhile;
    }
    std::string why;
    ASSERT_TRUE(outpath::SaveSettings(path, s, why)) << why;
}

} // namespace

TEST(SettingsLines, ASaveThroughALinkKeepsTheUsersCommentsOrderAndOtherLines)
{
    const ScratchDir dir;
    ASSERT_EQ(::mkdir(dir.File("dotfiles").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(dir.File("veltora").c_str(), 0700), 0);
    const std::string kept = dir.File("dotfiles/veltora.conf");
    Write(kept, "# my dotfiles: veltora\n"
                "window-width=640\n"
                "\n"
                "   # where it was, indented\n"
                "window-x=5\n"
                "window-y=6\n"
                "picture=/old.png\n"
                "window-height=400\n"
                "from-a-newer-one=12");
    ::chmod(kept.c_str(), 0640);
    const std::string path = dir.File("veltora/settings.conf");
    ASSERT_EQ(::symlink("../dotfiles/veltora.conf", path.c_str()), 0);

    Remember(path, 900, 100, "\n# added while the window was open\nsomeone-elses=1\n");
    EXPECT_EQ(Read(kept), "# my dotfiles: veltora\n"
                          "window-width=900\n"
                          "\n"
                          "   # where it was, indented\n"
                          "window-x=100\n"
                          "window-y=50\n"
                          "window-height=540\n"
                          "from-a-newer-one=12\n"
                          "# added while the window was open\n"
                          "someone-elses=1\n");
    // Still a link, to the same file, which keeps its mode; nothing left beside either.
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    for (const char* folder : {"dotfiles", "veltora"}) {
        int entries = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.File(folder))) {
            (void)e;
            entries++;
        }
        EXPECT_EQ(entries, 1) << folder;
    }

    // A second save changes the values in their places and nothing else.
    const std::string once = Read(kept);
    Remember(path, 901, 101);
    std::string twice = once;
    twice.replace(twice.find("=900"), 4, "=901");
    twice.replace(twice.find("=100"), 4, "=101");
    EXPECT_EQ(Read(kept), twice);
}

TEST(SettingsLines, AFileOfAnotherEditorKeepsItsLineEndsAndAKeySaidTwiceBecomesOne)
{
    const ScratchDir dir;
    const std::string path = dir.File("settings.conf");
    Write(path, "# written on another system\r\nwindow-x=1\r\nwindow-x=2\r\nwindow-width=3\r\n");
    Remember(path, 800, 7);
    EXPECT_EQ(Read(path), "# written on another system\r\nwindow-x=7\r\nwindow-width=800\r\nwindow-height=540\r\n"
                          "window-y=50\r\n");

    // A first save has nothing to keep: the program's own comment and its keys.
    const std::string fresh = dir.File("fresh/settings.conf");
    outpath::Settings s;
    s.SetInt("window-x", 3);
    std::string why;
    ASSERT_TRUE(outpath::SaveSettings(fresh, s, why)) << why;
    EXPECT_EQ(Read(fresh), s.Text());
    EXPECT_EQ(Read(fresh).rfind("# ", 0), 0u);
}
