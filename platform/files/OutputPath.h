// The rules for every file the platform writes for the user (screenshots, the trace, the
// log): where a write may land, and a check of a whole run's files before it starts.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace outpath {

enum class Kind {
    // Replaced whole (a picture written aside and renamed over): only a regular file, or
    // nothing yet, may be there.
    Replaced,
    // Written through in place (a log, a trace): also a character device such as
    // /dev/null or a terminal, or a FIFO that someone reads (never a socket: it cannot be
    // opened as a file).
    Stream,
};

// The folder a path names its file in ("." for a bare name).
std::string FolderOf(const std::string& path);

// Where a write to a path really lands.
struct Target {
    std::string path; // a picture follows a symlink to the regular file it names
    bool exists = false;
    mode_t mode = 0; // of the file that is there, kept when a picture replaces it
};

// False with a short reason ("a FIFO, not a regular file", "its folder does not exist")
// when nothing may be written at `path`.
bool Resolve(const std::string& path, Kind kind, Target& out, std::string& reason);

// Opens a stream output for writing (truncated, or appended to) as a stdio stream; null with
// a short reason. A FIFO nobody reads is refused rather than waited for.
std::FILE* OpenStream(const std::string& path, bool append, std::string& reason);

// The files one run reads and writes. Checked together before anything is opened, so a
// bad output stops the run at its start, not at its end, and no output overwrites an
// input of the run or another output.
class RunFiles {
public:
    // `what` names the file in messages ("the camera picture", "the script").
    void AddInput(const std::string& path, const std::string& what);
    // Every file in the folder is an input.
    void AddInputFolder(const std::string& dir, const std::string& what);
    // A file the program keeps for itself (its settings), there yet or not: no output may
    // land on it under any spelling, nor where a symbolic link in its place points.
    void AddKept(const std::string& path, const std::string& what);
    // Outputs of the same `group` may share a path (two screenshots to one file: the last wins).
    void AddOutput(const std::string& path, Kind kind, const std::string& what, const std::string& group);
    // False with "cannot write WHAT PATH: why".
    bool Check(std::string& reason) const;

private:
    struct Input {
        dev_t dev;
        ino_t ino;
        std::string what;
    };
    struct Output {
        std::string path;
        Kind kind;
        std::string what;
        std::string group;
    };
    struct Kept {
        std::string key;
        std::string what;
    };
    std::vector<Input> m_inputs;
    std::vector<Kept> m_kept;
    std::vector<Output> m_outputs;
};

} // namespace outpath
