// A video's stamps taken at their word only while they keep their word: a frame without one,
// or one at or before the frame before it in playing order, and the numbers take over.
#include "FrameClock.h"

namespace gst {

void FrameClock::SetFrameUs(std::int64_t us)
{
    if (us > 0) m_frameUs = us;
}

std::int64_t FrameClock::TimeOf(std::int64_t index) const
{
    // Once the stamps lied the series starts at zero: nothing they said is kept.
    return (Trusted() ? StartUs() : 0) + index * FrameUs();
}

device::FrameTime FrameClock::Next(std::optional<std::int64_t> stampUs)
{
    const std::int64_t index = m_next++;
    if (Trusted()) {
        if (!stampUs) {
            m_distrust = "frame " + std::to_string(index) + " has no stamp";
        } else if (m_lastStamp && *stampUs <= *m_lastStamp) {
            m_distrust = "frame " + std::to_string(index) + "'s stamp " +
                         (*stampUs == *m_lastStamp ? "repeats the one before" : "goes back");
        } else if (index == 0 && !m_startUs) {
            m_startUs = *stampUs;
        }
    }
    if (!Trusted()) {
        m_lastStamp.reset();
        return {index, TimeOf(index), false};
    }
    m_lastStamp = stampUs;
    return {index, *stampUs, true};
}

void FrameClock::Restart(std::int64_t index)
{
    m_next = index;
    m_lastStamp.reset();
}

} // namespace gst
