// N and P in a folder of hostile files: candidates are judged by content before anything tries
// to show them, a step gives the window back after each slice of work, and everything passed
// over is told in one line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "sdl/PictureStep.h"
#include "support/Scratch.h"

using sdl::MediaKind;
using sdl::MediaKindOf;
using sdl::PictureStep;
using testing_support::ScratchDir;

namespace {

void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

const std::string kPngStart("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);

// Runs a step to its end, a slice at a time; returns the shown path ("" when none).
struct Walk {
    std::vector<std::string> tried;
    std::vector<int> perSlice;
    std::string shown;
    PictureStep::State state = PictureStep::State::Going;

    Walk(PictureStep& step, const std::vector<std::string>& good,
         std::chrono::milliseconds budget = std::chrono::milliseconds(1000),
         std::chrono::milliseconds cost = std::chrono::milliseconds(0))
    {
        while (state == PictureStep::State::Going) {
            int n = 0;
            state = step.Continue(
                [&](const std::string& path, std::string& reason) {
                    tried.push_back(path);
                    n++;
                    std::this_thread::sleep_for(cost);
                    for (const std::string& g : good) {
                        if (path == g) {
                            shown = path;
                            return true;
                        }
                    }
                    reason = "broken";
                    return false;
                },
                budget);
            perSlice.push_back(n);
        }
    }
};

} // namespace

TEST(PictureStep, CandidatesAreJudgedByTheirFirstBytesNotTheirNames)
{
    ScratchDir dir;
    Write(dir.File("png.mp4"), kPngStart);
    Write(dir.File("jpeg.png"), std::string("\xFF\xD8\xFF\xE0", 4));
    Write(dir.File("iso.png"), std::string("\0\0\0\x20"
                                           "ftypisom",
                                           12));
    Write(dir.File("old.mov"), std::string("\0\0\0\x08"
                                           "wide",
                                           8));
    Write(dir.File("m.webm"), std::string("\x1A\x45\xDF\xA3\x9f", 5));
    Write(dir.File("a.avi"), std::string("RIFF\0\0\0\0AVI LIST", 16));
    Write(dir.File("o.ogv"), "OggS\0");
    for (const char* name : {"a.avi", "iso.png", "m.webm", "o.ogv", "old.mov"}) {
        EXPECT_EQ(MediaKindOf(dir.File(name)), MediaKind::Video) << name;
    }
    EXPECT_EQ(MediaKindOf(dir.File("png.mp4")), MediaKind::Picture);
    EXPECT_EQ(MediaKindOf(dir.File("jpeg.png")), MediaKind::Picture);

    // A sound in RIFF, text, nothing, a signature cut one byte short, a folder, a FIFO (never
    // opened, or this would block) and a missing file are none of them.
    Write(dir.File("wave.avi"), std::string("RIFF\0\0\0\0WAVEfmt ", 16));
    Write(dir.File("text.mp4"), "this is not a video at all");
    Write(dir.File("empty.mkv"), "");
    Write(dir.File("short.mkv"), std::string("\x1A\x45\xDF", 3));
    Write(dir.File("box.mp4"), std::string("\0\0\0\x20"
                                           "fty",
                                           7));
    ASSERT_EQ(mkdir(dir.File("folder.png").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(dir.File("pipe.mp4").c_str(), 0600), 0);
    for (const char* name : {"wave.avi", "text.mp4", "empty.mkv", "short.mkv", "box.mp4"}) {
        std::string reason = "stale";
        EXPECT_EQ(MediaKindOf(dir.File(name), &reason), MediaKind::None) << name;
        EXPECT_EQ(reason, "") << name;
    }
    // Those that cannot be read say why.
    for (const auto& [name, why] :
         std::vector<std::pair<std::string, std::string>>{{"folder.png", "not a regular file"},
                                                          {"pipe.mp4", "not a regular file"},
                                                          {"gone.png", "No such file or directory"}}) {
        std::string reason;
        EXPECT_EQ(MediaKindOf(dir.File(name), &reason), MediaKind::None) << name;
        EXPECT_EQ(reason, why) << name;
    }
}

TEST(PictureStep, ThousandsOfBrokenFilesArePassedOverInSlicesAndToldInOneLine)
{
    ScratchDir dir;
    Write(dir.File("a.png"), kPngStart);
    // Junk named as videos: judged by content, never handed to a decoder or a pipeline.
    for (int i = 0; i < 2000; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "b%04d.mp4", i);
        Write(dir.File(name), "not a video");
    }
    // Files that start like pictures but cannot be shown, each costing a millisecond to try.
    for (int i = 0; i < 60; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "c%03d.png", i);
        Write(dir.File(name), kPngStart);
    }
    Write(dir.File("d.png"), kPngStart);

    PictureStep step(dir.File("a.png"), 1);
    std::string message;
    ASSERT_TRUE(step.Start(message)) << message;
    const auto budget = std::chrono::milliseconds(10);
    Walk walk(step, {dir.File("d.png")}, budget, std::chrono::milliseconds(1));
    ASSERT_EQ(walk.state, PictureStep::State::Shown);
    EXPECT_EQ(walk.shown, dir.File("d.png"));
    // Only what looks like a picture was tried: the sixty broken ones, then d.png.
    ASSERT_EQ(walk.tried.size(), 61u);
    EXPECT_EQ(walk.tried.front(), dir.File("c000.png"));
    // Each slice ends once its budget is spent: a try costs at least a millisecond, so no
    // slice tries more than eleven (fewer when the machine is slow), and the window had its
    // turn several times.
    for (int n : walk.perSlice) {
        EXPECT_LE(n, 11);
    }
    EXPECT_GE(walk.perSlice.size(), 6u);
    EXPECT_EQ(step.Skipped(), "veltora: passed over 2060 files in " + dir.Path() +
                                  ": 2000 are not pictures or videos by their content, 60 cannot be shown "
                                  "(the last, c059.png: broken)");
}

TEST(PictureStep, StepsByNameBothWaysRoundTheFolder)
{
    ScratchDir dir;
    for (const char* name : {"a.png", "b.JPG", "d.gif", "e.mkv"}) {
        Write(dir.File(name), kPngStart);
    }
    Write(dir.File("c.txt"), kPngStart); // not named as a picture: never looked at
    const std::vector<std::string> all = {dir.File("a.png"), dir.File("b.JPG"), dir.File("d.gif"), dir.File("e.mkv")};
    auto next = [&](const std::string& from, int direction) {
        PictureStep step(from, direction);
        std::string message;
        EXPECT_TRUE(step.Start(message)) << message;
        Walk walk(step, all);
        EXPECT_TRUE(step.Skipped().empty()) << step.Skipped();
        return walk.shown;
    };
    EXPECT_EQ(next(dir.File("b.JPG"), 1), dir.File("d.gif"));
    EXPECT_EQ(next(dir.File("b.JPG"), -1), dir.File("a.png"));
    EXPECT_EQ(next(dir.File("e.mkv"), 1), dir.File("a.png"));
    EXPECT_EQ(next(dir.File("a.png"), -1), dir.File("e.mkv"));
    // A picture that is not among them (another kind, or gone) is placed by its name.
    EXPECT_EQ(next(dir.File("c.txt"), 1), dir.File("d.gif"));
    EXPECT_EQ(next(dir.File("c.txt"), -1), dir.File("b.JPG"));
    EXPECT_EQ(next(dir.File("zz.png"), 1), dir.File("a.png"));

    // With only one that can be shown, the step comes round to the picture itself, last.
    PictureStep step(dir.File("b.JPG"), 1);
    std::string message;
    ASSERT_TRUE(step.Start(message));
    Walk walk(step, {dir.File("b.JPG")});
    EXPECT_EQ(walk.shown, dir.File("b.JPG"));
    EXPECT_EQ(walk.tried.size(), 4u);
    EXPECT_EQ(step.Skipped(),
              "veltora: passed over 3 files in " + dir.Path() + ": 3 cannot be shown (the last, a.png: broken)");
}

TEST(PictureStep, SaysWhyThereIsNothingToStepThrough)
{
    ScratchDir dir;
    Write(dir.File("only.txt"), "text");
    std::string message;
    // Nothing named as a picture.
    EXPECT_FALSE(PictureStep(dir.File("x.png"), 1).Start(message));
    EXPECT_EQ(message, "veltora: no pictures in " + dir.Path() + " to step through");
    // The folder cannot be read: the system's reason, not "no pictures".
    EXPECT_FALSE(PictureStep(dir.File("only.txt/x.png"), 1).Start(message));
    EXPECT_EQ(message, "veltora: cannot look for pictures in " + dir.File("only.txt") + ": Not a directory");

    // Every candidate fails: one line with the last reason. A link to nothing cannot be
    // read, which is not the same as holding something else.
    Write(dir.File("a.png"), kPngStart);
    Write(dir.File("b.png"), "text");
    Write(dir.File("c.bmp"), kPngStart);
    ASSERT_EQ(symlink("nowhere", dir.File("d.jpg").c_str()), 0);
    PictureStep step(dir.File("a.png"), 1);
    ASSERT_TRUE(step.Start(message));
    Walk walk(step, {});
    EXPECT_EQ(walk.state, PictureStep::State::NoneShown);
    EXPECT_EQ(step.NoneShownMessage(), "veltora: no picture in " + dir.Path() +
                                           " can be shown: 1 is not a picture or video by its content, "
                                           "3 cannot be shown (the last, a.png: broken)");
    PictureStep back(dir.File("a.png"), -1);
    ASSERT_TRUE(back.Start(message));
    Walk backWalk(back, {dir.File("c.bmp")});
    EXPECT_EQ(back.Skipped(), "veltora: passed over 1 file in " + dir.Path() +
                                  ": 1 cannot be shown (d.jpg: No such file or directory)");

    // A picture named without a folder: the current folder, by its whole name; and where the
    // current folder was removed (it has no name left), ".".
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    PictureStep bare("a.png", 1);
    const bool started = bare.Start(message);
    Walk bareWalk(bare, {dir.File("c.bmp")});
    ScratchDir gone;
    ASSERT_EQ(chdir(gone.Path().c_str()), 0);
    ASSERT_EQ(rmdir(gone.Path().c_str()), 0);
    std::string goneMessage;
    const bool goneStarted = PictureStep("a.png", 1).Start(goneMessage);
    ASSERT_EQ(chdir(here), 0);
    ASSERT_TRUE(started) << message;
    EXPECT_EQ(bare.Folder(), dir.Path());
    EXPECT_EQ(bareWalk.shown, dir.File("c.bmp"));
    EXPECT_EQ(bare.Skipped(),
              "veltora: passed over 1 file in " + dir.Path() + ": 1 is not a picture or video by its content");
    EXPECT_FALSE(goneStarted);
    EXPECT_EQ(goneMessage, "veltora: no pictures in . to step through");
}
