// Reading a picture file on in chunks of a fixed size, whatever the file's size: a decoder
// that passes over a segment it does not use reads it into the same chunk.
#include "codec/Input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace codec::detail {

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

} // namespace

std::string ReadFailure(const outpath::ReadOutcome& outcome)
{
    switch (outcome.problem) {
    case outpath::ReadProblem::Missing: return "file not found";
    case outpath::ReadProblem::Folder: return std::string("cannot read: ") + std::strerror(EISDIR);
    case outpath::ReadProblem::Special: return "cannot read: not a regular file";
    case outpath::ReadProblem::TooLarge:
        return "file too large (more than " + std::to_string(outcome.bound) + " bytes)";
    case outpath::ReadProblem::Failed:
    case outpath::ReadProblem::None: break;
    }
    return "cannot read: " + outcome.Reason();
}

Input::Input(std::vector<std::uint8_t> head, outpath::BoundedFile* file)
    : m_head(std::move(head)), m_file(file), m_current(&m_head)
{}

bool Input::Refill()
{
    if (m_ended) return false;
    m_chunk.clear();
    m_current = &m_chunk;
    m_at = 0;
    if (!m_file) {
        m_ended = true;
        return false;
    }
    if (const auto read = m_file->Read(m_chunk, kChunkBytes); !read.Ok()) {
        m_failure = ReadFailure(read);
        m_ended = true;
        return false;
    }
    if (m_chunk.empty()) m_ended = true;
    return !m_chunk.empty();
}

const std::uint8_t* Input::Next(std::size_t& available)
{
    if (m_at >= m_current->size() && !Refill()) {
        available = 0;
        return nullptr;
    }
    available = m_current->size() - m_at;
    return m_current->data() + m_at;
}

std::size_t Input::Read(std::uint8_t* to, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        std::size_t available = 0;
        const std::uint8_t* from = Next(available);
        if (!from) break;
        const std::size_t n = std::min(available, count - done);
        std::memcpy(to + done, from, n);
        Take(n);
        done += n;
    }
    return done;
}

bool Input::Skip(std::uint64_t count)
{
    while (count > 0) {
        std::size_t available = 0;
        if (!Next(available)) return false;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(available, count));
        Take(n);
        count -= n;
    }
    return true;
}

} // namespace codec::detail
