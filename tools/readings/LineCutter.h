// Cuts a stream of bytes into the trace's lines, holding at most one line of a bounded
// length: a longer line is passed over as its bytes go by, never kept whole, and counted.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace readings {

// The longest line read: a trace's longest lines (a canvas of a few dozen draws, a call
// naming a file) are a few kilobytes, so a longer one is no trace line.
constexpr std::size_t kMaxLineBytes = std::size_t(1) << 20;

class LineCutter {
public:
    // Called once for each line: with its text (without the newline) when it ends, or,
    // with `tooLong` and no text, as soon as it grows past the limit.
    using Sink = std::function<void(const std::string& line, bool tooLong)>;

    explicit LineCutter(std::size_t maxBytes = kMaxLineBytes) : m_max(maxBytes) {}
    // The lines these bytes end, or make too long, in order.
    void Feed(const char* data, std::size_t size, const Sink& sink);
    // At the end of the input: the last line if it had no newline (a run that ended
    // mid-write).
    void Finish(const Sink& sink);
    // Forgets a line begun: the input starts again from its beginning.
    void Restart();
    // Lines passed over for being longer than the limit.
    long TooLong() const { return m_tooLong; }
    std::size_t MaxBytes() const { return m_max; }

private:
    std::size_t m_max;
    std::string m_line;
    bool m_skipping = false; // in a line already too long: its bytes are dropped
    long m_tooLong = 0;
};

} // namespace readings
