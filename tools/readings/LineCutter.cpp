// The trace's lines cut from its bytes in bounded memory.
#include "LineCutter.h"

#include <cstring>

namespace readings {

void LineCutter::Feed(const char* data, std::size_t size, const Sink& sink)
{
    while (size > 0) {
        const char* newline = static_cast<const char*>(std::memchr(data, '\n', size));
        const std::size_t part = newline ? static_cast<std::size_t>(newline - data) : size;
        if (!m_skipping && m_line.size() + part > m_max) {
            m_skipping = true;
            m_tooLong++;
            // The capacity goes too: one long line must not keep its memory for the rest.
            std::string().swap(m_line);
            sink(m_line, true);
        }
        if (!m_skipping) {
            m_line.append(data, part);
        }
        if (!newline) {
            return;
        }
        if (m_skipping) {
            m_skipping = false;
        } else {
            sink(m_line, false);
            m_line.clear();
        }
        data += part + 1;
        size -= part + 1;
    }
}

void LineCutter::Finish(const Sink& sink)
{
    if (!m_skipping && !m_line.empty()) {
        sink(m_line, false);
    }
    Restart();
}

void LineCutter::Restart()
{
    m_line.clear();
    m_skipping = false;
}

} // namespace readings
