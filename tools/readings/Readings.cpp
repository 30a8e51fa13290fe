// Reading the trace: each canvas's readout, and the camera's stops and starts turned into
// held and live.
#include "Readings.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "Readout.h"
#include "TraceLine.h"

namespace readings {

std::vector<Reading> Reader::Flush()
{
    std::vector<Reading> out;
    if (m_pending) {
        out.push_back(*m_pending);
        m_pending.reset();
    }
    return out;
}

std::optional<Reading> Reader::Change(const Reading& next)
{
    const bool changed = next.angle != m_current.angle || next.otherSide != m_current.otherSide ||
                         next.orientation != m_current.orientation || next.held != m_current.held;
    m_current = next;
    // Nothing is told before the readout first shows a number.
    if ((!changed && m_any) || (!m_any && next.angle.empty())) {
        return std::nullopt;
    }
    m_any = true;
    return next;
}

std::vector<Reading> Reader::Line(const std::string& line)
{
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
        return {};
    }
    TraceLine read;
    if (!ReadTraceLine(line, read)) {
        m_badLines++;
        return {};
    }
    if (!read.type) {
        return {};
    }
    const bool call = *read.type == "call" && read.name;
    if (m_pending && call && *read.name == "Camera::PowerOff") {
        // The camera was switched off, not a picture held: nothing changed for the user.
        m_pending.reset();
        m_current = m_beforePending;
        return {};
    }
    std::vector<Reading> out = Flush();
    Reading next = m_current;
    if (*read.type == "canvas") {
        if (!read.hasDraws) {
            return out;
        }
        const Readout shown = ReadReadout(read.draws);
        next.angle = shown.angle;
        next.otherSide = shown.otherSide;
        next.orientation = shown.orientation;
    } else if (call) {
        // A preview that did not start or stop leaves the picture as it was.
        const bool ok = !read.result || *read.result == "E_SUCCESS";
        if (*read.name == "Camera::StopPreview" && ok) {
            next.held = true;
        } else if (*read.name == "Camera::StartPreview" && ok) {
            next.held = false;
        } else {
            return out;
        }
    } else {
        return out;
    }
    if (!read.time) {
        m_untimedLines++;
        return out;
    }
    next.timeMs = *read.time;
    next.timeText = read.timeText;
    const Reading before = m_current;
    if (auto r = Change(next)) {
        if (r->held && !before.held) {
            m_beforePending = before;
            m_pending = r;
        } else {
            out.push_back(*r);
        }
    }
    return out;
}

std::string CsvHeader() { return "time_ms,angle,other_side,orientation,mode"; }

std::string CsvRow(const Reading& r)
{
    // Below 2^42 ms a double still tells microseconds apart, so three decimals are the trace's
    // own; a time past that (no run lasts a century) is told as the trace wrote it.
    std::string time = r.timeText;
    if (std::fabs(r.timeMs) < 4398046511104.0) {
        char t[32];
        std::snprintf(t, sizeof t, "%.3f", r.timeMs);
        time = t;
    } else if (time.empty()) {
        char t[32];
        const auto end = std::to_chars(t, t + sizeof t, r.timeMs).ptr;
        time.assign(t, end);
    }
    return time + "," + r.angle + "," + r.otherSide + "," +
           (r.orientation >= 0 ? std::to_string(r.orientation) : std::string()) + "," + (r.held ? "held" : "live");
}

} // namespace readings
