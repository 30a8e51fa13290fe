// Remembered settings: any value comes back as it was written, a damaged file is kept
// aside under a free name (never over another) and the defaults used, and a save replaces
// the file whole.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "files/Settings.h"
#include "support/Scratch.h"

using testing_support::ScratchDir;

namespace {

std::string Read(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

TEST(Settings, AnyValueComesBackAsItWasWrittenAndUnknownKeysAreKept)
{
    outpath::Settings s;
    const std::string odd = "/pics/a\nb\\c\x01\x7f\xc3\xa9 d=e#f";
    s.Set("picture", odd);
    s.SetInt("window-x", -40);
    s.Set("from-a-newer-version", "kept");
    outpath::Settings back;
    std::string why;
    ASSERT_TRUE(outpath::Settings::Parse(s.Text(), back, why)) << why << "\n" << s.Text();
    EXPECT_EQ(back, s);
    EXPECT_EQ(back.Get("picture"), odd);
    long x = 0;
    EXPECT_TRUE(back.GetInt("window-x", -100, 100, x, why));
    EXPECT_EQ(x, -40);
    EXPECT_FALSE(back.GetInt("window-x", 0, 100, x, why)); // out of range: said why
    EXPECT_NE(why.find("not a whole number from 0 to 100"), std::string::npos) << why;
    why.clear();
    EXPECT_FALSE(back.GetInt("window-y", 0, 100, x, why)); // not set: nothing to say
    EXPECT_TRUE(why.empty());
}

TEST(Settings, TextThisProgramDidNotWriteIsRefusedWithItsLine)
{
    struct Case {
        std::string text;
        std::string says;
    };
    const Case cases[] = {
        {"# fine\n\nwindow-x=1\ngarbage\n", "line 4: no '='"},
        {"Window-X=1\n", "line 1: 'Window-X' is not a setting's name"},
        {"=1\n", "line 1: '' is not a setting's name"},
        {"picture=a\\qb\n", "line 1: a backslash"},
        {"picture=a\\x4\n", "line 1: a backslash"},
        {std::string("picture=a\0b\n", 12), "line 1: a NUL byte"},
        {"\x89PNG\r\n\x1a\n", "line 1: no '='"},
    };
    for (const auto& c : cases) {
        outpath::Settings s;
        std::string why;
        EXPECT_FALSE(outpath::Settings::Parse(c.text, s, why)) << c.text;
        EXPECT_EQ(why.rfind(c.says, 0), 0u) << why;
    }
    // The size limit at its edge.
    const std::string line = "k=" + std::string(64 * 1024 - 3, 'v') + "\n";
    outpath::Settings s;
    std::string why;
    EXPECT_TRUE(outpath::Settings::Parse(line, s, why)) << why;
    EXPECT_FALSE(outpath::Settings::Parse(line + "\n", s, why));
    EXPECT_EQ(why, "larger than 64 KiB");
}

// A file saved by an editor on another system: a byte-order mark and CRLF line ends are read
// as the file's own. A name or value too long to be one is cut short in the message.
TEST(Settings, AnEditorsByteOrderMarkAndLineEndsAreReadAndALongNameIsCutShortInTheMessage)
{
    outpath::Settings s;
    std::string why;
    ASSERT_TRUE(outpath::Settings::Parse("\xEF\xBB\xBF# mine\r\nwindow-x=12\r\npicture=/a b\r\n\r\n", s, why)) << why;
    long x = 0;
    EXPECT_TRUE(s.GetInt("window-x", 0, 100, x, why)) << why;
    EXPECT_EQ(x, 12);
    EXPECT_EQ(s.Get("picture"), "/a b");
    ASSERT_TRUE(outpath::Settings::Parse("\xEF\xBB\xBFwindow-x=12", s, why)) << why;
    // Only at the start, and only a whole mark, is it the editor's.
    EXPECT_FALSE(outpath::Settings::Parse("window-x=1\n\xEF\xBB\xBFwindow-y=2\n", s, why));
    EXPECT_EQ(why.rfind("line 2: ", 0), 0u) << why;

    const std::string name(60000, 'k');
    EXPECT_FALSE(outpath::Settings::Parse(name + "\x1b[2J=1\n", s, why));
    EXPECT_EQ(why, "line 1: '" + std::string(64, 'k') + "...' (60004 bytes) is not a setting's name");
    ASSERT_TRUE(outpath::Settings::Parse("window-x=" + name + "\n", s, why));
    EXPECT_FALSE(s.GetInt("window-x", 0, 100, x, why));
    EXPECT_LT(why.size(), 200u) << why.substr(0, 200);
    EXPECT_FALSE(outpath::Settings::Parse("\x1b[2J=1\n", s, why));
    EXPECT_EQ(why, "line 1: '\\x1b[2J' is not a setting's name") << "a terminal's controls are not sent to it";
}

TEST(Settings, AFirstRunHasNoFileAndNothingToSay)
{
    const ScratchDir dir;
    outpath::Settings s;
    const outpath::SettingsLoad load = outpath::LoadSettings(dir.File("veltora/settings.conf"), s);
    EXPECT_TRUE(load.mayWrite);
    EXPECT_TRUE(load.message.empty()) << load.message;
    EXPECT_EQ(s, outpath::Settings());
}

TEST(Settings, ABrokenFileIsKeptAsideUnderAFreeNameAndTheDefaultsAreUsed)
{
    const ScratchDir dir;
    const std::string path = dir.File("settings.conf");
    std::ofstream(path) << "window-x=1\nthis is not a setting\n";
    std::ofstream(path + ".broken") << "an earlier broken file\n";
    outpath::Settings s;
    s.Set("stale", "1");
    const outpath::SettingsLoad load = outpath::LoadSettings(path, s);
    EXPECT_EQ(s, outpath::Settings());
    EXPECT_TRUE(load.mayWrite);
    EXPECT_EQ(load.keptAs, path + ".broken-2");
    EXPECT_EQ(load.message, "the settings file " + path +
                                " is broken (line 2: no '=' between a name and its value); "
                                "using the defaults (the file is kept as " +
                                path + ".broken-2)");
    EXPECT_EQ(load.message.find('\n'), std::string::npos);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(Read(path + ".broken-2"), "window-x=1\nthis is not a setting\n");
    EXPECT_EQ(Read(path + ".broken"), "an earlier broken file\n");

    // Values the caller refuses make the file broken too.
    std::ofstream(path) << "window-width=wide\n";
    const outpath::SettingsLoad refused =
        outpath::LoadSettings(path, s, [](const outpath::Settings& read, std::string& why) {
            long w = 0;
            return read.GetInt("window-width", 1, 100, w, why) || why.empty();
        });
    EXPECT_EQ(refused.keptAs, path + ".broken-3");
    EXPECT_NE(refused.message.find("window-width is 'wide'"), std::string::npos) << refused.message;
}

TEST(Settings, AFileThatCannotBeReadOrKeptAsideIsLeftAsItIsAndNotWritten)
{
    const ScratchDir dir;
    // A folder under the file's name: not ours to replace.
    const std::string folder = dir.File("settings.conf");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    outpath::Settings s;
    const outpath::SettingsLoad load = outpath::LoadSettings(folder, s);
    EXPECT_FALSE(load.mayWrite);
    EXPECT_EQ(load.message, "cannot read the settings file " + folder +
                                ": Is a directory; using the defaults, and nothing is remembered this time");
    EXPECT_TRUE(Exists(folder));
    EXPECT_FALSE(Exists(folder + ".broken"));
}

TEST(Settings, ASaveMakesThePrivateFolderAndReplacesTheFileWholeThroughALink)
{
    const ScratchDir dir;
    const std::string path = dir.File("config/veltora/settings.conf");
    outpath::Settings s;
    s.SetInt("window-width", 800);
    std::string why;
    ASSERT_TRUE(outpath::SaveSettings(path, s, why)) << why;
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("config/veltora").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    outpath::Settings back;
    EXPECT_FALSE(outpath::LoadSettings(path, back).mayWrite == false);
    EXPECT_EQ(back, s);

    // Settings kept with the user's dotfiles: the link stays, the file it names is replaced.
    const std::string real = dir.File("dotfiles.conf");
    std::ofstream(real) << "window-width=1\n";
    ::chmod(real.c_str(), 0640);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_EQ(::symlink(real.c_str(), path.c_str()), 0);
    ASSERT_TRUE(outpath::SaveSettings(path, s, why)) << why;
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(Read(real).find("window-width=800\n"), std::string::npos) << Read(real);
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // Nothing left beside it.
    EXPECT_FALSE(Exists(dir.File("config/veltora/settings.conf.broken")));

    // A folder that cannot be made: one reason, nothing written.
    std::ofstream(dir.File("plain")) << "x";
    EXPECT_FALSE(outpath::SaveSettings(dir.File("plain/veltora/settings.conf"), s, why));
    EXPECT_EQ(why.rfind("cannot write the settings file " + dir.File("plain/veltora/settings.conf") +
                            ": cannot make the folder",
                        0),
              0u)
        << why;
}
