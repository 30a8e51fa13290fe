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
    TraceLine read;
    if (!ReadTypedLine(line, read, m_badLines)) {
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
    if (*read.type == "finger") {
        if (!read.time) {
            m_untimedLines++;
            return out;
        }
        next.timeMs = *read.time;
        next.timeText = read.timeText;
        for (Reading& r : Finger(read, next)) {
            out.push_back(std::move(r));
        }
        return out;
    }
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
        // The first change after the finger's reading is the readout showing it.
        if (m_expected && r->angle == m_expected->angle) {
            r->uncertainty = m_expected->uncertainty;
        }
        m_expected.reset();
        if (r->held && !before.held) {
            m_beforePending = before;
            m_pending = r;
        } else {
            out.push_back(*r);
        }
    }
    return out;
}

std::vector<Reading> Reader::Finger(const TraceLine& read, Reading row)
{
    m_expected.reset();
    row.uncertainty.clear();
    if (read.refused) {
        // Never a number: the readout still shows what it showed before, which was not read here.
        row.angle = "refused";
        row.otherSide.clear();
        row.note = *read.refused;
        return {row};
    }
    // A reading as the trace states it, or nothing; a number that is no angle or no
    // uncertainty makes no row.
    if (!read.angle || !read.uncertainty || *read.angle < 0 || *read.angle > 360 || *read.uncertainty < 0 ||
        *read.uncertainty > 360) {
        return {};
    }
    char angle[32], uncertainty[32];
    std::snprintf(angle, sizeof angle, "%.1f", *read.angle);
    std::snprintf(uncertainty, sizeof uncertainty, "%.10g", *read.uncertainty);
    // Read where the readout already shows it (a held picture draws at once, or the same angle
    // read again): the row is told now. Otherwise the readout's next change shows it.
    if (m_any && m_current.angle == angle) {
        row.uncertainty = uncertainty;
        return {row};
    }
    m_expected = Expected{angle, uncertainty};
    return {};
}

std::string CsvHeader() { return "time_ms,angle,uncertainty,other_side,orientation,mode,note"; }

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
    return time + "," + r.angle + "," + r.uncertainty + "," + r.otherSide + "," +
           (r.orientation >= 0 ? std::to_string(r.orientation) : std::string()) + "," + (r.held ? "held" : "live") +
           "," + CsvField(r.note);
}

} // namespace readings
