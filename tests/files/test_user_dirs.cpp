// The desktop's folders as the XDG conventions name them: the pictures folder from the
// user-dirs file (with its quoting and $HOME), its fallbacks, and folders made as needed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

#include "files/UserDirs.h"
#include "support/Scratch.h"

using testing_support::ScratchDir;

namespace {

// Sets an environment variable for the life of the object, and puts the old value back.
class Env {
public:
    Env(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
            m_had = true;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~Env() { m_had ? setenv(m_name, m_old.c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

} // namespace

TEST(UserDirs, ThePicturesFolderIsReadAsTheUserDirsFileWritesIt)
{
    const std::string home = "/home/ana";
    EXPECT_EQ(outpath::UserDirFromText("XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "PICTURES", home), "/home/ana/Bilder");
    EXPECT_EQ(outpath::UserDirFromText("XDG_PICTURES_DIR=\"/data/photos/\"\n", "PICTURES", home), "/data/photos");
    // Quoted characters, comments and other folders around it; the last setting wins.
    const std::string file = "# written by xdg-user-dirs-update\n"
                             "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                             "XDG_PICTURES_DIR=\"$HOME/old\"\n"
                             "  XDG_PICTURES_DIR=\"$HOME/My \\\"Pics\\\" \\$1\"\n";
    EXPECT_EQ(outpath::UserDirFromText(file, "PICTURES", home), "/home/ana/My \"Pics\" $1");
    // A folder turned off is the home itself.
    EXPECT_EQ(outpath::UserDirFromText("XDG_PICTURES_DIR=\"$HOME/\"\n", "PICTURES", home), "/home/ana");
    // Forms the convention does not allow are not guessed at.
    for (const char* bad :
         {"XDG_PICTURES_DIR=$HOME/Pictures;rm x\n", "XDG_PICTURES_DIR=\"Pictures\"\n", "XDG_PICTURES_DIR='$HOME/x\n",
          "XDG_PICTURES_DIR=${HOMEx}\n", "XDG_PICTURES_DIR=$USER/x\n", "XDG_PICTURES_DIR=\"$HOME/x\n",
          "XDG_PICTURES_DIR=\"$HOMEx\"\n", "XDG_PICTURES_DIR=\"/x\" trailing\n", "XDG_PICTURES_DIRS=\"/x\"\n", ""}) {
        EXPECT_EQ(outpath::UserDirFromText(bad, "PICTURES", home), "") << bad;
    }
}

// The file is a shell's: xdg-user-dir sources it, so the forms a person writes by hand (single
// quotes, none, ${HOME}) name the folder as they do for it. A home of "/" doubles no slash.
TEST(UserDirs, TheFormsXdgUserDirTakesAreTakenAndARootHomeDoublesNoSlash)
{
    const std::string home = "/home/ana";
    const std::pair<const char*, const char*> forms[] = {
        {"XDG_PICTURES_DIR='$HOME/Bilder'\n", "/home/ana/Bilder"},
        {"XDG_PICTURES_DIR=$HOME/Bilder\n", "/home/ana/Bilder"},
        {"XDG_PICTURES_DIR=${HOME}/Bilder\n", "/home/ana/Bilder"},
        {"XDG_PICTURES_DIR=\"${HOME}/My Pics\"  # mine\n", "/home/ana/My Pics"},
        {"XDG_PICTURES_DIR='/data/it''s'\n", "/data/its"},
        {"XDG_PICTURES_DIR=/data/My\\ Pics\n", "/data/My Pics"},
        {"XDG_PICTURES_DIR='${HOME}'\n", "/home/ana"},
    };
    for (const auto& [text, folder] : forms) {
        EXPECT_EQ(outpath::UserDirFromText(text, "PICTURES", home), folder) << text;
    }
    EXPECT_EQ(outpath::UserDirFromText("XDG_PICTURES_DIR=\"$HOME/Fotos\"\n", "PICTURES", "/"), "/Fotos");
    EXPECT_EQ(outpath::UserDirFromText("XDG_PICTURES_DIR=\"$HOME\"\n", "PICTURES", "/"), "/");

    const ScratchDir dir;
    const Env root("HOME", "/");
    const Env config("XDG_CONFIG_HOME", dir.Path().c_str());
    EXPECT_EQ(outpath::PicturesFolder(), "/Pictures");
    const Env none("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(outpath::ConfigHome(), "/.config");
}

TEST(UserDirs, ThePicturesFolderComesFromTheConfigHomeElseItIsPicturesInTheHome)
{
    const ScratchDir dir;
    const Env home("HOME", dir.Path().c_str());
    {
        const Env config("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(outpath::ConfigHome(), dir.Path() + "/.config");
        EXPECT_EQ(outpath::PicturesFolder(), dir.Path() + "/Pictures");
    }
    ::mkdir(dir.File("conf").c_str(), 0700);
    std::ofstream(dir.File("conf/user-dirs.dirs")) << "XDG_PICTURES_DIR=\"$HOME/Fotos\"\n";
    {
        const Env config("XDG_CONFIG_HOME", dir.File("conf").c_str());
        EXPECT_EQ(outpath::ConfigHome(), dir.File("conf"));
        EXPECT_EQ(outpath::PicturesFolder(), dir.File("Fotos"));
    }
    {
        // A relative XDG_CONFIG_HOME is ignored, as the convention says.
        const Env config("XDG_CONFIG_HOME", "conf");
        EXPECT_EQ(outpath::ConfigHome(), dir.Path() + "/.config");
    }
}

TEST(UserDirs, FoldersAreMadeAsNeededAndAFileInTheWayIsTold)
{
    const ScratchDir dir;
    std::string why;
    const std::string deep = dir.File("a/b/c");
    ASSERT_TRUE(outpath::MakeFolders(deep, why)) << why;
    struct stat st {};
    ASSERT_EQ(::stat(deep.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_TRUE(outpath::MakeFolders(deep, why)) << why; // already there
    std::ofstream(dir.File("file")) << "x";
    EXPECT_FALSE(outpath::MakeFolders(dir.File("file"), why));
    EXPECT_EQ(why, dir.File("file") + " is not a folder");
    EXPECT_FALSE(outpath::MakeFolders(dir.File("file/sub"), why));
    EXPECT_EQ(why, "cannot make the folder " + dir.File("file/sub") + ": Not a directory");

    // A link to a folder that is gone is told as such, not as something else in the way.
    ASSERT_EQ(::symlink(dir.File("gone").c_str(), dir.File("Veltora").c_str()), 0);
    EXPECT_FALSE(outpath::MakeFolders(dir.File("Veltora"), why));
    EXPECT_EQ(why, dir.File("Veltora") + " is a dangling link (to " + dir.File("gone") + ")");
    EXPECT_FALSE(outpath::MakeFolders(dir.File("Veltora/2024"), why));
    EXPECT_EQ(why, dir.File("Veltora") + " is a dangling link (to " + dir.File("gone") + ")");
}
