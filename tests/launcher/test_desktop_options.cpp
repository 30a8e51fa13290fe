// The launcher's desktop side: --version agrees with every file that names the version,
// the manual shows the help as the program prints it, and --save-to is checked at start.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "support/Launch.h"
#include "support/Scratch.h"

using testing_support::Lines;
using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::ScratchDir;

namespace {

std::string Source(const std::string& file)
{
    std::ifstream in(std::string(VELTORA_SOURCE_DIR) + "/" + file);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The text a roff page shows for a no-fill block (only the escapes the page uses).
std::string Unroff(const std::string& roff)
{
    std::string out;
    for (size_t i = 0; i < roff.size(); i++) {
        if (roff[i] == '\\' && i + 1 < roff.size() && (roff[i + 1] == '-' || roff[i + 1] == 'e')) {
            out += roff[i + 1] == '-' ? '-' : '\\';
            i++;
        } else {
            out += roff[i];
        }
    }
    return out;
}

} // namespace

TEST(DesktopOptions, TheManualShowsTheHelpAsTheProgramPrintsIt)
{
    const Outcome o = RunVeltora("--help");
    ASSERT_EQ(o.code, 0);
    const std::string page = Source("docs/man/veltora.1");
    const std::string begin = ".\\\" --help begins\n.nf\n", end = ".fi\n.\\\" --help ends\n";
    const auto from = page.find(begin);
    ASSERT_NE(from, std::string::npos) << "the manual has no --help block";
    const auto to = page.find(end, from);
    ASSERT_NE(to, std::string::npos);
    EXPECT_EQ(Unroff(page.substr(from + begin.size(), to - from - begin.size())), o.out);
}

TEST(DesktopOptions, EveryFileThatNamesTheVersionNamesTheOneVeltoraPrints)
{
    const Outcome o = RunVeltora("--version");
    ASSERT_EQ(o.code, 0) << o.out;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(o.out, m, std::regex("veltora ([0-9]+\\.[0-9]+\\.[0-9]+)\n"))) << o.out;
    const std::string version = m[1];
    // The newest release comes first in the metainfo and in the Debian changelog.
    const std::string metainfo = Source("data/org.veltora.Veltora.metainfo.xml");
    ASSERT_TRUE(std::regex_search(metainfo, m, std::regex("<release version=\"([^\"]+)\"")));
    EXPECT_EQ(m[1], version);
    const std::string changelog = Source("data/changelog");
    EXPECT_EQ(changelog.rfind("veltora (" + version + ") ", 0), 0u) << changelog.substr(0, 40);
    for (const char* page : {"docs/man/veltora.1", "docs/man/veltora-readings.1"}) {
        EXPECT_NE(Source(page).find("\"Veltora " + version + "\""), std::string::npos) << page;
    }
}

TEST(DesktopOptions, SaveToMustBeAFolderThatExists)
{
    const ScratchDir dir;
    std::ofstream(dir.File("file")) << "x";
    struct Case {
        std::string args;
        std::string says;
    };
    const Case cases[] = {
        {"--headless --save-to " + dir.File("missing"),
         "veltora: --save-to " + dir.File("missing") + ": No such file or directory\n"},
        {"--headless --save-to " + dir.File("file"), "veltora: --save-to " + dir.File("file") + " is not a folder\n"},
        {"--headless --save-to ''", "veltora: option --save-to needs a non-empty value\n"},
    };
    for (const auto& c : cases) {
        const Outcome o = RunVeltora(c.args);
        EXPECT_EQ(o.code, 2) << c.args;
        EXPECT_EQ(o.out, c.says);
    }
    const Outcome ok = RunVeltora("--headless --seconds 0 --save-to " + dir.Path());
    EXPECT_EQ(ok.code, 0) << ok.out;
}
