// The bounded reader: the file's kind is checked on the open descriptor, so nothing can be
// swapped in between the check and the read.
#include "files/BoundedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace outpath {

namespace {

// Read at a time from a stream; a regular file is read in one go.
constexpr std::size_t kChunk = 64 * 1024;

ReadOutcome Problem(ReadProblem problem, int error = 0)
{
    ReadOutcome o;
    o.problem = problem;
    o.error = error;
    return o;
}

std::string Amount(std::uint64_t bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0) {
        return std::to_string(bytes / (1024 * 1024)) + " MiB";
    }
    if (bytes >= 1024 && bytes % 1024 == 0) {
        return std::to_string(bytes / 1024) + " KiB";
    }
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

} // namespace

std::string ReadOutcome::Reason() const
{
    switch (problem) {
    case ReadProblem::None: return {};
    case ReadProblem::Missing:
    case ReadProblem::Failed: return std::strerror(error);
    case ReadProblem::Folder: return "a folder";
    case ReadProblem::Special: return "not a regular file";
    case ReadProblem::TooLarge: return "larger than " + Amount(bound);
    }
    return {};
}

BoundedFile::~BoundedFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

ReadOutcome BoundedFile::Open(const std::string& path, std::uint64_t maxBytes, Takes takes)
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    m_max = maxBytes;
    m_total = 0;
    m_announced = 0;
    // A stream is opened as it is read, waiting for its writer; anything else is opened
    // without waiting, so that a FIFO under a picture's name cannot hang the caller.
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (takes == Takes::Streams ? 0 : O_NONBLOCK);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        const int e = errno;
        return Problem(e == ENOENT || e == ENOTDIR ? ReadProblem::Missing : ReadProblem::Failed, e);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return Problem(ReadProblem::Failed, e);
    }
    if (S_ISDIR(st.st_mode) || (!S_ISREG(st.st_mode) && takes == Takes::RegularFiles)) {
        ::close(fd);
        return Problem(S_ISDIR(st.st_mode) ? ReadProblem::Folder : ReadProblem::Special);
    }
    m_fd = fd;
    m_announced = S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return {};
}

std::size_t BoundedFile::Step(std::size_t pending) const
{
    // What the file announces is read at once (and one byte more, to see its end); the rest,
    // if it has grown or announces nothing, in chunks. What came in this call counts, or the
    // buffer would be grown by the file's size a second time only to find its end.
    const std::uint64_t done = m_total + pending;
    if (m_announced > done && m_announced - done < m_max) {
        return std::max(kChunk, static_cast<std::size_t>(m_announced - done) + 1);
    }
    return kChunk;
}

ReadOutcome BoundedFile::ReadSome(char* at, std::size_t count, std::size_t& got)
{
    got = 0;
    if (m_fd < 0) {
        return Problem(ReadProblem::Failed, EBADF);
    }
    for (;;) {
        const ssize_t n = ::read(m_fd, at, count);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Problem(ReadProblem::Failed, errno);
        }
        got = static_cast<std::size_t>(n);
        return {};
    }
}

ReadOutcome ReadBoundedFile(const std::string& path, std::uint64_t maxBytes, std::string& out, Takes takes)
{
    out.clear();
    BoundedFile file;
    if (const ReadOutcome opened = file.Open(path, maxBytes, takes); !opened.Ok()) {
        return opened;
    }
    return file.ReadRest(out);
}

} // namespace outpath
