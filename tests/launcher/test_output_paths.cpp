// The files a run writes for the user: only regular files are replaced, no output lands on
// an input or another output, bad ones are told before the run, and write errors fail it.
#include <gtest/gtest.h>

#include "support/Launch.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "codec/ImageCodec.h"

using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::Temp;

namespace {

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        n++;
    }
    return n;
}

std::string Fresh(const std::string& name)
{
    const std::string path = Temp(name);
    ::unlink(path.c_str());
    ::rmdir(path.c_str());
    return path;
}

// Refused at the start: one line, and the application never ran.
void ExpectRefusedUpFront(const Outcome& o, const std::string& says, const std::string& args)
{
    EXPECT_EQ(o.code, 2) << args << "\n" << o.out;
    EXPECT_EQ(o.out.rfind("veltora: ", 0), 0u) << args << "\n" << o.out;
    EXPECT_EQ(Count(o.out, "\n"), 1) << args << "\n" << o.out;
    EXPECT_NE(o.out.find(says), std::string::npos) << args << "\n" << o.out;
    EXPECT_EQ(o.out.find("Application started."), std::string::npos) << args << "\n" << o.out;
}

} // namespace

TEST(OutputPaths, ADeviceAFifoOrAFolderIsNeverReplaced)
{
    const std::string fifo = Fresh("out-fifo.png");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = Fresh("out-folder.png");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string toDevice = Fresh("out-device.png");
    ASSERT_EQ(::symlink("/dev/null", toDevice.c_str()), 0);
    const std::string script = Temp("out-script.txt");
    struct Case {
        std::string path;
        std::string says;
    };
    for (const Case& c : {Case{fifo, "a FIFO, not a regular file"}, Case{folder, "a folder, not a regular file"},
                          Case{toDevice, "a character device, not a regular file"}}) {
        const std::string args = "--headless --seconds 1 --screenshot " + c.path;
        ExpectRefusedUpFront(RunVeltora(args), "cannot write screenshot " + c.path + ": " + c.says, args);
        // The script's screenshots follow the same rules, before its first line runs.
        Write(script, "wait 100\nscreenshot " + c.path + "\n");
        ExpectRefusedUpFront(RunVeltora("--script " + script), "cannot write screenshot " + c.path, c.path);
    }
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::lstat(toDevice.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));

    // The writer itself refuses too (the window's save key has no start-of-run check).
    const std::uint32_t pixel = 0xFF102030;
    std::string reason;
    EXPECT_FALSE(codec::WritePngFile(fifo, &pixel, 1, 1, 4, reason));
    EXPECT_NE(reason.find("a FIFO, not a regular file"), std::string::npos) << reason;
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(OutputPaths, ASymlinkIsWrittenThroughAndItsTargetKeepsItsMode)
{
    const std::string target = Fresh("out-target.png");
    const std::string link = Fresh("out-link.png");
    Write(target, "an older picture");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);

    const Outcome o = RunVeltora("--headless --seconds 1 --screenshot " + link);
    ASSERT_EQ(o.code, 0) << o.out;
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link itself was replaced";
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    codec::DecodedImage img;
    std::string reason;
    ASSERT_TRUE(codec::DecodeImageFile(target, img, reason)) << reason;
    EXPECT_EQ(img.width, 800);

    // A link to nothing is not followed into creating a file somewhere else.
    const std::string dangling = Fresh("out-dangling.png");
    ASSERT_EQ(::symlink(Temp("out-nowhere/x.png").c_str(), dangling.c_str()), 0);
    const std::string args = "--headless --seconds 1 --screenshot " + dangling;
    ExpectRefusedUpFront(RunVeltora(args), "a symbolic link to nothing", args);
}

TEST(OutputPaths, NoOutputOverwritesAnInputOrAnotherOutputOfTheRun)
{
    const std::string picture = Fresh("out-mine.png");
    const std::string pictureBytes = Read(std::string(VELTORA_BIN_DIR) + "/Res/bigNum0.png");
    ASSERT_FALSE(pictureBytes.empty());
    Write(picture, pictureBytes);
    const std::string trace = Fresh("out-trace.jsonl");
    Write(trace, "the trace of an earlier run\n");
    const std::string script = Temp("out-own.txt");
    Write(script, "wait 10\nscreenshot " + script + "\n");
    const std::string other = Fresh("out-other.txt");
    const std::string picLink = Fresh("out-mine-link.png");
    const std::string res = Temp("out-res");
    ::mkdir(res.c_str(), 0700);
    Write(res + "/bigNum0.png", pictureBytes);
    ASSERT_EQ(::symlink(picture.c_str(), picLink.c_str()), 0);

    struct Case {
        std::string args;
        std::string says;
    };
    const Case cases[] = {
        {"--camera " + picture + " --screenshot " + picture, "it is the camera picture of this run"},
        // The same file under another name is still the same file.
        {"--camera " + picture + " --screenshot " + picLink, "it is the camera picture of this run"},
        {"--trace " + trace + " --screenshot " + trace, "cannot write trace file " + trace + ": it is also screenshot"},
        {"--trace " + other + " --log " + other, "it is also trace file " + other},
        {"--camera " + picture + " --log " + picture,
         "cannot write log file " + picture + ": it is the camera picture"},
        {"--script " + script, "it is the script of this run"},
        {"--res " + res + " --screenshot " + res + "/bigNum0.png", "it is a resource image of this run"},
    };
    for (const Case& c : cases) {
        const std::string args = "--headless --seconds 1 " + c.args;
        ExpectRefusedUpFront(RunVeltora(args), c.says, args);
    }
    EXPECT_EQ(Read(picture), pictureBytes);
    EXPECT_EQ(Read(trace), "the trace of an earlier run\n");
    EXPECT_EQ(Read(script), "wait 10\nscreenshot " + script + "\n");
    EXPECT_EQ(Read(res + "/bigNum0.png"), pictureBytes);

    // Screenshots may share a file with each other: the last one wins.
    const std::string shot = Fresh("out-shared.png");
    Write(script, "wait 10\nscreenshot " + shot + "\n");
    const Outcome o = RunVeltora("--script " + script + " --screenshot " + shot);
    EXPECT_EQ(o.code, 0) << o.out;
}

TEST(OutputPaths, AnOutputWhoseFolderIsMissingIsToldBeforeTheRun)
{
    const std::string missing = Temp("out-missing-folder/x");
    const std::string script = Temp("out-missing.txt");
    Write(script, "wait 10\nscreenshot " + missing + ".png\n");
    const std::string cases[] = {
        "--headless --seconds 5 --screenshot " + missing + ".png",
        "--script " + script,
        "--headless --trace " + missing + ".jsonl",
        "--headless --log " + missing + ".log",
    };
    for (const std::string& args : cases) {
        ExpectRefusedUpFront(RunVeltora(args), "its folder " + Temp("out-missing-folder") + " does not exist", args);
    }
}

// A relative name in a working folder deleted under the shell: nothing can be made there,
// whatever the folder's permissions say, and the run is told so before it starts.
TEST(OutputPaths, ARelativeOutputInADeletedWorkingFolderIsToldBeforeTheRun)
{
    const std::string gone = Temp("deleted-cwd");
    ASSERT_EQ(::mkdir(gone.c_str(), 0700), 0);
    const std::filesystem::path back = std::filesystem::current_path();
    ASSERT_EQ(::chdir(gone.c_str()), 0);
    ASSERT_EQ(::rmdir(gone.c_str()), 0);
    const Outcome shot = RunVeltora("--headless --seconds 5 --screenshot shot.png");
    const Outcome trace = RunVeltora("--headless --seconds 5 --trace run.jsonl");
    std::filesystem::current_path(back);
    ExpectRefusedUpFront(shot, "cannot write screenshot shot.png: the working folder has been deleted", "screenshot");
    ExpectRefusedUpFront(trace, "cannot write trace file run.jsonl: the working folder has been deleted", "trace");
}

TEST(OutputPaths, ATraceOrLogThatCannotBeWrittenIsToldOnceAndFailsTheRun)
{
    for (const std::string option : {"--trace", "--log"}) {
        const Outcome o = RunVeltora("--headless --seconds 1 " + option + " /dev/full");
        EXPECT_EQ(o.code, 1) << option << "\n" << o.out;
        const std::string line = std::string("veltora: cannot write ") + (option == "--trace" ? "trace" : "log") +
                                 " file /dev/full: No space left on device\n";
        EXPECT_EQ(Count(o.out, line), 1) << option << "\n" << o.out;
        EXPECT_EQ(Count(o.out, "veltora: "), 1) << option << "\n" << o.out;
        // The run itself ended in order.
        EXPECT_NE(o.out.find("Application finished."), std::string::npos) << o.out;
    }
    // A stream nobody reads is refused rather than waited for.
    const std::string fifo = Fresh("out-trace-fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string args = "--headless --seconds 1 --trace " + fifo;
    ExpectRefusedUpFront(RunVeltora(args), "cannot write trace file " + fifo + ": a FIFO that nobody reads", args);
}

TEST(OutputPaths, AFileIsKnownUnderEverySpellingOfItsPath)
{
    const std::string dir = Temp("out-spelt");
    ::mkdir(dir.c_str(), 0700);
    ::mkdir((dir + "/sub").c_str(), 0700);
    const std::string link = Fresh("out-spelt-link");
    ASSERT_EQ(::symlink(dir.c_str(), link.c_str()), 0);
    const std::string picture = dir + "/mine.png";
    const std::string pictureBytes = Read(std::string(VELTORA_BIN_DIR) + "/Res/bigNum0.png");
    Write(picture, pictureBytes);
    const std::string script = dir + "/own.txt";
    struct Case {
        std::string args;
        std::string says;
    };
    // Files that are there are known by what they are; files yet to be made by their real folder.
    const Case cases[] = {
        {"--camera " + picture + " --screenshot " + dir + "/./mine.png", "it is the camera picture of this run"},
        {"--camera " + dir + "/./mine.png --trace " + link + "/mine.png", "it is the camera picture of this run"},
        {"--script " + script + " --screenshot " + link + "/own.txt", "it is the script of this run"},
        {"--trace " + dir + "/new.jsonl --log " + dir + "/./new.jsonl", "it is also trace file " + dir + "/new.jsonl"},
        {"--trace " + dir + "/new.jsonl --log " + link + "/new.jsonl", "it is also trace file " + dir + "/new.jsonl"},
        {"--log " + dir + "/sub/../new.log --screenshot " + dir + "/new.log",
         "it is also screenshot " + dir + "/new.log"},
    };
    for (const Case& c : cases) {
        Write(script, "wait 10\n");
        const std::string args = "--headless --seconds 1 " + c.args;
        ExpectRefusedUpFront(RunVeltora(args), c.says, args);
    }
    EXPECT_EQ(Read(picture), pictureBytes);
    EXPECT_EQ(Read(script), "wait 10\n");
    struct stat st {};
    EXPECT_NE(::lstat((dir + "/new.jsonl").c_str(), &st), 0) << "an output was made though the run was refused";
    EXPECT_NE(::lstat((dir + "/new.log").c_str(), &st), 0) << "an output was made though the run was refused";
}

TEST(OutputPaths, TheLogIsAppendedToWhatIsThere)
{
    const std::string log = Fresh("out-appended.log");
    Write(log, "a line of an earlier run\n");
    const Outcome o = RunVeltora("--headless --seconds 1 --log " + log);
    ASSERT_EQ(o.code, 0) << o.out;
    const std::string text = Read(log);
    EXPECT_EQ(text.rfind("a line of an earlier run\n", 0), 0u) << text;
    EXPECT_EQ(Count(text, "Application started."), 1) << text;
    EXPECT_EQ(Count(text, "Application finished."), 1) << text;
    // A second run adds its lines after the first's.
    ASSERT_EQ(RunVeltora("--headless --seconds 1 --log " + log).code, 0);
    const std::string twice = Read(log);
    EXPECT_EQ(twice.rfind(text, 0), 0u) << twice;
    EXPECT_EQ(Count(twice, "Application started."), 2) << twice;
}

// The side file a picture is written to must never make a legal name fail at the end of a run.
TEST(OutputPaths, ANameAtTheFilesystemsLimitIsWrittenAndOneOverIsToldBeforeTheRun)
{
    const std::string dir = Temp("out-long");
    ::mkdir(dir.c_str(), 0700);
    const long limit = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    ASSERT_GT(limit, 8);
    const std::string atLimit = dir + "/" + std::string(size_t(limit) - 4, 'n') + ".png";
    const std::string overLimit = dir + "/" + std::string(size_t(limit) - 3, 'o') + ".png";

    const Outcome o = RunVeltora("--headless --seconds 1 --screenshot " + atLimit);
    EXPECT_EQ(o.code, 0) << o.out;
    codec::DecodedImage img;
    std::string reason;
    EXPECT_TRUE(codec::DecodeImageFile(atLimit, img, reason)) << reason;
    // Once again, replacing it.
    EXPECT_EQ(RunVeltora("--headless --seconds 1 --screenshot " + atLimit).code, 0);
    // Nothing but the picture is left in its folder.
    const auto entries = std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1);

    const std::string args = "--headless --seconds 1 --screenshot " + overLimit;
    ExpectRefusedUpFront(RunVeltora(args), "cannot write screenshot " + overLimit + ": File name too long", args);
    const std::string script = Temp("out-long.txt");
    Write(script, "wait 10\nscreenshot " + overLimit + "\n");
    ExpectRefusedUpFront(RunVeltora("--script " + script), "File name too long", "--script");
}

TEST(OutputPaths, ASocketIsCalledASocketAndNeverWrittenTo)
{
    const std::string path = Fresh("out-socket");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof addr.sun_path);
    path.copy(addr.sun_path, path.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    for (const auto& [option, what] : {std::pair<std::string, std::string>{"--trace", "trace file"},
                                       {"--log", "log file"},
                                       {"--screenshot", "screenshot"}}) {
        const std::string args = "--headless --seconds 1 " + option + " " + path;
        ExpectRefusedUpFront(RunVeltora(args), "cannot write " + what + " " + path + ": a socket, not a regular file",
                             args);
    }
    ::close(fd);
}
