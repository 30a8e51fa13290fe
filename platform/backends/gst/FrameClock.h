// The time of each frame of a video: the frame's own stamp while the stamps run forward, and
// its number over the frame rate from the first one that is missing, repeats or goes back.
#pragma once

#include "device/CameraSource.h"

#include <cstdint>
#include <optional>
#include <string>

namespace gst {

class FrameClock {
public:
    // How long a frame lasts, from the stream's rate or a frame's own duration; until it is
    // known a frame is taken to last a thirtieth of a second.
    void SetFrameUs(std::int64_t us);
    bool KnowsFrameUs() const { return m_frameUs > 0; }
    std::int64_t FrameUs() const { return m_frameUs > 0 ? m_frameUs : kDefaultFrameUs; }

    // The next frame in playing order, with its stamp (none when it came without one).
    device::FrameTime Next(std::optional<std::int64_t> stampUs);
    // The next frame is frame `index`: the video was rewound or sought, so its stamp may lie
    // anywhere from the last one.
    void Restart(std::int64_t index);

    // Whether the stamps have been true so far; once not, every later frame is timed by its
    // number, so a series never mixes the two.
    bool Trusted() const { return m_distrust.empty(); }
    // Why not, in a few words ("frame 7's stamp goes back").
    const std::string& Distrust() const { return m_distrust; }
    // Frame 0's stamp (where the video's time starts).
    std::int64_t StartUs() const { return m_startUs.value_or(0); }
    // The time a frame would have at `index`, by the stamps' start and the frame rate.
    std::int64_t TimeOf(std::int64_t index) const;

private:
    static constexpr std::int64_t kDefaultFrameUs = 33'333;

    std::int64_t m_frameUs = 0;
    std::int64_t m_next = 0;
    std::optional<std::int64_t> m_lastStamp;
    std::optional<std::int64_t> m_startUs;
    std::string m_distrust;
};

} // namespace gst
