// Turns the trace of a run into the readings a user saw: each change of the readout (the
// angle, the other side on the round dial, the orientation code, held or live) as CSV rows,
// with the uncertainty of a reading the device's finger made, and a row for each it refused.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace readings {

struct TraceLine;

struct Reading {
    double timeMs = 0;
    std::string timeText; // the time as the trace wrote it; told as is when no ms.µs form holds it
    std::string angle; // as the readout shows it, e.g. "105.0"; empty when none is drawn
    std::string otherSide; // the round dial's other side, e.g. "255.0"; empty on the half dial
    int orientation = -1; // the orientation code the readout is drawn for; -1 when none
    bool held = false; // the camera's preview is stopped (hold, the help page, background)
    // A reading the device's finger made: how far its angle can be trusted, in degrees, as the
    // trace states it; empty for a needle laid by hand.
    std::string uncertainty;
    // A finger that read nothing: why (the angle then says "refused").
    std::string note;
};

// Reads trace lines one at a time and tells each change of what the readout shows.
class Reader {
public:
    // One line of the trace (without its newline). Returns the readings it settles: the
    // change it made to what the user sees, if any. Lines that are not JSON objects, or say
    // nothing of the readout or the camera, change nothing.
    //
    // A stopped preview is told only once the next line shows it was not the camera being
    // switched off at the end of the run (stop, then power off); Flush tells it anyway.
    std::vector<Reading> Line(const std::string& line);
    // The reading held back, if any: at the end of the trace, or when a growing trace has
    // been quiet for a moment.
    std::vector<Reading> Flush();
    // Lines that were not readable JSON, so a caller can say that the file is not a trace.
    int BadLines() const { return m_badLines; }
    // Lines that would have told a reading but carry no time of their own ("t" missing, or
    // not a number): they are skipped, never given another line's time.
    int UntimedLines() const { return m_untimedLines; }

private:
    std::optional<Reading> Change(const Reading& next);

    // The finger's reading and its uncertainty, waiting for the readout to show that angle.
    struct Expected {
        std::string angle;
        std::string uncertainty;
    };
    std::vector<Reading> Finger(const TraceLine& read, Reading row);

    Reading m_current;
    std::optional<Expected> m_expected;
    std::optional<Reading> m_pending;
    Reading m_beforePending;
    bool m_any = false;
    int m_badLines = 0;
    int m_untimedLines = 0;
};

std::string CsvHeader();
std::string CsvRow(const Reading& r);

} // namespace readings
