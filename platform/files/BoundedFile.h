// Reading a file whose size has a bound: opened without blocking on a FIFO, read as far as
// the bound and one byte more, never further, so that a huge file or an endless device
// costs the bound and not its size. One reader for pictures, sensors' values and scripts.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace outpath {

// What a read takes: regular files only, or with Streams FIFOs and devices too, read as
// they come (a script given as "<(...)").
enum class Takes { RegularFiles, Streams };

// Why a read failed; None when it did not.
enum class ReadProblem { None, Missing, Folder, Special, TooLarge, Failed };

struct ReadOutcome {
    ReadProblem problem = ReadProblem::None;
    int error = 0; // the system's error number, for Missing and Failed
    std::uint64_t bound = 0; // the bound passed, for TooLarge

    bool Ok() const { return problem == ReadProblem::None; }
    // In a few words: "No such file or directory", "a folder", "not a regular file",
    // "larger than 64 KiB", or the system's words for another failure.
    std::string Reason() const;
};

class BoundedFile {
public:
    BoundedFile() = default;
    ~BoundedFile();
    BoundedFile(const BoundedFile&) = delete;
    BoundedFile& operator=(const BoundedFile&) = delete;

    // Opens `path` to read at most `maxBytes` from it. A missing file (or a missing folder on
    // the way) is Missing; a folder, or a FIFO, device or socket that is not taken, is told
    // before anything is read.
    ReadOutcome Open(const std::string& path, std::uint64_t maxBytes, Takes takes = Takes::RegularFiles);
    // What the file says its size is: a regular file's length, 0 for a stream. Never a
    // bound: files in /sys announce a page and /proc nothing, whatever they hold.
    std::uint64_t AnnouncedSize() const { return m_announced; }

    // Appends up to `count` more bytes to `out` (fewer at the file's end). TooLarge, with
    // `out` holding the bound's worth, when the file holds more than the bound.
    template <class Buffer>
    ReadOutcome Read(Buffer& out, std::size_t count)
    {
        const std::uint64_t left = m_max - m_total;
        // Asked past the bound, one byte more tells whether the file goes on.
        const std::size_t want = count > left ? static_cast<std::size_t>(left) + 1 : count;
        const std::size_t had = out.size();
        std::size_t got = 0;
        ReadOutcome outcome;
        while (got < want) {
            const std::size_t step = std::min(want - got, Step(got));
            std::size_t n = 0;
            if (AtAnnouncedEnd(got)) {
                // Whether a file goes on past its announced size is asked aside, so that
                // finding its end does not grow the buffer.
                char more[kProbe];
                outcome = ReadSome(more, std::min(step, kProbe), n);
                out.resize(had + got + n);
                std::copy(more, more + n, reinterpret_cast<char*>(out.data()) + had + got);
            } else {
                out.resize(had + got + step);
                outcome = ReadSome(reinterpret_cast<char*>(out.data()) + had + got, step, n);
            }
            got += n;
            if (!outcome.Ok() || n == 0) {
                break;
            }
        }
        out.resize(had + got);
        return Counted(out, got, outcome);
    }
    // The rest of the file, as far as the bound.
    template <class Buffer>
    ReadOutcome ReadRest(Buffer& out)
    {
        const std::uint64_t left = m_max - m_total;
        constexpr std::size_t kMost = std::numeric_limits<std::size_t>::max();
        return Read(out, left >= kMost ? kMost : static_cast<std::size_t>(left) + 1);
    }

private:
    ReadOutcome ReadSome(char* at, std::size_t count, std::size_t& got);
    static constexpr std::size_t kProbe = 4096;
    // How much to ask of the next read, `pending` bytes having come in this call so far.
    std::size_t Step(std::size_t pending) const;
    bool AtAnnouncedEnd(std::size_t pending) const { return m_announced > 0 && m_total + pending >= m_announced; }
    template <class Buffer>
    ReadOutcome Counted(Buffer& out, std::size_t got, ReadOutcome outcome)
    {
        m_total += got;
        if (outcome.Ok() && m_total > m_max) {
            out.resize(out.size() - static_cast<std::size_t>(m_total - m_max));
            m_total = m_max;
            outcome.problem = ReadProblem::TooLarge;
            outcome.bound = m_max;
        }
        return outcome;
    }

    int m_fd = -1;
    std::uint64_t m_max = 0;
    std::uint64_t m_total = 0;
    std::uint64_t m_announced = 0;
};

// The whole of a file of at most `maxBytes`, into `out` (emptied first).
ReadOutcome ReadBoundedFile(const std::string& path, std::uint64_t maxBytes, std::string& out,
                            Takes takes = Takes::RegularFiles);

} // namespace outpath
