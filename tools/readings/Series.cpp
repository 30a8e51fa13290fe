// Finger records to series rows: the video's time where the record carries it, the state it
// names or the one its fields imply, and the other side from the readout that showed it.
#include "Series.h"

#include <cmath>
#include <cstdio>

#include "Readout.h"
#include "TraceLine.h"

namespace readings {

namespace {

std::string Fixed(double v, const char* format)
{
    char text[48];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

bool KnownState(const std::string& s) { return s == "read" || s == "followed" || s == "lost" || s == "refused"; }

} // namespace

std::vector<SeriesRow> Series::Flush()
{
    std::vector<SeriesRow> out;
    if (m_waiting) {
        out.push_back(std::move(*m_waiting));
        m_waiting.reset();
    }
    return out;
}

std::vector<SeriesRow> Series::Line(const std::string& line)
{
    TraceLine read;
    if (!ReadTypedLine(line, read, m_badLines)) {
        return {};
    }
    if (*read.type == "canvas" && read.hasDraws && m_waiting) {
        const Readout shown = ReadReadout(read.draws);
        if (shown.angle == m_waiting->angleText) {
            m_waiting->otherSide = shown.otherSide;
            return Flush();
        }
        return {};
    }
    if (*read.type != "finger") {
        return {};
    }
    std::vector<SeriesRow> out = Flush();
    SeriesRow row;
    const bool video = read.ptsMs && std::isfinite(*read.ptsMs);
    if (!video && !read.time) {
        m_untimedLines++;
        return out;
    }
    row.timeS = (video ? *read.ptsMs : *read.time) / 1000.0;
    row.timeFrom = !video ? "run" : read.ptsFrom && *read.ptsFrom == "frame rate" ? "video frame rate" : "video";
    if (video && read.frame && *read.frame >= 0 && *read.frame == std::floor(*read.frame)) {
        row.frame = Fixed(*read.frame, "%.0f");
    }
    const bool hasAngle = read.angle && *read.angle >= 0 && *read.angle <= 360;
    row.state = read.state && KnownState(*read.state) ? *read.state
                : read.refused                        ? "refused"
                : hasAngle                            ? "read"
                                                      : "lost";
    if (read.refused) {
        row.note = *read.refused;
    }
    // Only a state that read something carries its number; lost and refused are gaps.
    if (hasAngle && (row.state == "read" || row.state == "followed")) {
        row.angle = *read.angle;
        row.angleText = Fixed(*read.angle, "%.1f");
        if (read.uncertainty && *read.uncertainty >= 0 && *read.uncertainty <= 360) {
            row.uncertainty = *read.uncertainty;
            row.uncertaintyText = Fixed(*read.uncertainty, "%.10g");
        }
        m_waiting = std::move(row);
        return out;
    }
    out.push_back(std::move(row));
    return out;
}

std::string SeriesHeader() { return "time_s,angle,other_side,uncertainty,state,frame,time_from,note"; }

std::string SeriesCsvRow(const SeriesRow& r)
{
    return Fixed(r.timeS, "%.6f") + "," + r.angleText + "," + r.otherSide + "," + r.uncertaintyText + "," + r.state +
           "," + r.frame + "," + r.timeFrom + "," + CsvField(r.note);
}

} // namespace readings
