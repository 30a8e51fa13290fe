// A picture file as its decoder reads it: the first bytes already looked at, then the rest in
// chunks, so that what a file carries besides its pixels costs time and never memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/BoundedFile.h"

namespace codec::detail {

class Input {
public:
    // `head` is what was read of `file` so far; `file` (may be null: the head is all) is read
    // on from there and must outlive the input.
    Input(std::vector<std::uint8_t> head, outpath::BoundedFile* file);

    const std::vector<std::uint8_t>& Head() const { return m_head; }
    // The bytes not yet taken, at least one unless the file has ended (or failed); Take says
    // how many of them were used.
    const std::uint8_t* Next(std::size_t& available);
    void Take(std::size_t count) { m_at += count; }
    // Copies up to `count` bytes; fewer only at the file's end.
    std::size_t Read(std::uint8_t* to, std::size_t count);
    // Passes over `count` bytes without keeping them; false when the file ends first.
    bool Skip(std::uint64_t count);
    // Set when the file could not be read on (not when it merely ended): why, in the codec's words.
    const std::string& Failure() const { return m_failure; }

private:
    bool Refill();

    std::vector<std::uint8_t> m_head;
    outpath::BoundedFile* m_file;
    std::vector<std::uint8_t> m_chunk;
    const std::vector<std::uint8_t>* m_current;
    std::size_t m_at = 0;
    bool m_ended = false;
    std::string m_failure;
};

// What a failed read of a picture file says ("file not found", "file too large (more than N bytes)").
std::string ReadFailure(const outpath::ReadOutcome& outcome);

} // namespace codec::detail
