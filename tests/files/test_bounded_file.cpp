// The bounded reader at its edges: a file of exactly the bound and one byte more, a folder,
// a FIFO taken or refused without hanging, an endless device cut off, and files whose
// announced size says nothing of what they hold.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "files/BoundedFile.h"
#include "support/Scratch.h"

using outpath::BoundedFile;
using outpath::ReadBoundedFile;
using outpath::ReadOutcome;
using outpath::ReadProblem;
using outpath::Takes;
using testing_support::ScratchDir;

namespace {

std::string Written(const ScratchDir& dir, const std::string& name, const std::string& bytes)
{
    const std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

} // namespace

TEST(BoundedFile, ReadsExactlyTheBoundAndRefusesOneByteMore)
{
    ScratchDir dir;
    const std::string bound(1000, 'x');
    std::string text;
    ReadOutcome r = ReadBoundedFile(Written(dir, "at", bound), 1000, text);
    EXPECT_TRUE(r.Ok()) << r.Reason();
    EXPECT_EQ(text, bound);

    r = ReadBoundedFile(Written(dir, "over", bound + "y"), 1000, text);
    EXPECT_EQ(r.problem, ReadProblem::TooLarge);
    EXPECT_EQ(r.Reason(), "larger than 1000 bytes");
    EXPECT_EQ(text.size(), 1000u) << "no more than the bound is kept";

    r = ReadBoundedFile(Written(dir, "empty", ""), 0, text);
    EXPECT_TRUE(r.Ok()) << r.Reason();
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(ReadBoundedFile(Written(dir, "one", "a"), 0, text).problem, ReadProblem::TooLarge);
    EXPECT_EQ(ReadBoundedFile(Written(dir, "kib", std::string(65 * 1024, 'k')), 64 * 1024, text).Reason(),
              "larger than 64 KiB");
}

TEST(BoundedFile, TellsAMissingFileAFolderAndSpecialFilesApart)
{
    ScratchDir dir;
    std::string text;
    ReadOutcome r = ReadBoundedFile(dir.File("none"), 10, text);
    EXPECT_EQ(r.problem, ReadProblem::Missing);
    EXPECT_EQ(r.error, ENOENT);
    // A file where a folder should be is as missing as no file at all.
    r = ReadBoundedFile(Written(dir, "file", "x") + "/below", 10, text);
    EXPECT_EQ(r.problem, ReadProblem::Missing);
    EXPECT_EQ(r.error, ENOTDIR);

    EXPECT_EQ(ReadBoundedFile(dir.Path(), 10, text).problem, ReadProblem::Folder);
    EXPECT_EQ(ReadBoundedFile(dir.Path(), 10, text, Takes::Streams).problem, ReadProblem::Folder);
    EXPECT_EQ(ReadBoundedFile("/dev/null", 10, text).problem, ReadProblem::Special);

    // A FIFO with no writer is refused at once, not waited on.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto refused = std::async(std::launch::async, [&] {
        std::string t;
        return ReadBoundedFile(fifo, 10, t).problem;
    });
    if (refused.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        // A writer lets the hung reader go, so that the test fails rather than hangs.
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        FAIL() << "the FIFO hung the reader";
    }
    EXPECT_EQ(refused.get(), ReadProblem::Special);
    EXPECT_EQ(ReadOutcome{ReadProblem::Special}.Reason(), "not a regular file");
}

TEST(BoundedFile, StreamsAreReadAsTheyComeAndAnEndlessOneIsCutAtTheBound)
{
    ScratchDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto writer = std::async(std::launch::async, [&] {
        std::ofstream out(fifo, std::ios::binary);
        for (int i = 0; i < 3; i++) {
            out << "line " << i << "\n" << std::flush;
        }
    });
    std::string text;
    const ReadOutcome r = ReadBoundedFile(fifo, 100, text, Takes::Streams);
    writer.get();
    EXPECT_TRUE(r.Ok()) << r.Reason();
    EXPECT_EQ(text, "line 0\nline 1\nline 2\n");

    const ReadOutcome endless = ReadBoundedFile("/dev/zero", 200 * 1024, text, Takes::Streams);
    EXPECT_EQ(endless.problem, ReadProblem::TooLarge);
    EXPECT_EQ(text.size(), 200u * 1024);
}

TEST(BoundedFile, TheSizeAFileAnnouncesIsNoBound)
{
    // /proc announces nothing and holds a page of text: it is read for what it holds.
    std::string text;
    ReadOutcome r = ReadBoundedFile("/proc/self/status", 64 * 1024, text);
    ASSERT_TRUE(r.Ok()) << r.Reason();
    EXPECT_NE(text.find("Name:"), std::string::npos);
    EXPECT_EQ(ReadBoundedFile("/proc/self/status", 16, text).problem, ReadProblem::TooLarge);

    // A head first and the rest after, into bytes: what a decoder reads.
    ScratchDir dir;
    BoundedFile file;
    ASSERT_TRUE(file.Open(Written(dir, "picture", "0123456789"), 10).Ok());
    EXPECT_EQ(file.AnnouncedSize(), 10u);
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(file.Read(bytes, 4).Ok());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123");
    ASSERT_TRUE(file.ReadRest(bytes).Ok());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
    EXPECT_TRUE(file.ReadRest(bytes).Ok()) << "at the end, nothing more and no failure";
    EXPECT_EQ(bytes.size(), 10u);
}

// Having read what the file announced, the reader asks for one byte more to see the end; that
// asking must not grow the buffer by the file's size a second time.
TEST(BoundedFile, AFileReadWholeCostsItsOwnSizeOnce)
{
    ScratchDir dir;
    const std::string megabytes(4 << 20, 'm');
    const std::string path = Written(dir, "big", megabytes);
    for (const std::size_t head : {std::size_t(0), std::size_t(32)}) {
        BoundedFile file;
        ASSERT_TRUE(file.Open(path, 64 << 20).Ok());
        std::vector<unsigned char> bytes;
        ASSERT_TRUE(file.Read(bytes, head).Ok());
        ASSERT_TRUE(file.ReadRest(bytes).Ok());
        EXPECT_EQ(bytes.size(), megabytes.size());
        EXPECT_LT(bytes.capacity(), megabytes.size() + (1 << 20)) << "after a head of " << head;
    }
}
