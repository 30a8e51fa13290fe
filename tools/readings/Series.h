// The series of readings in a trace: one row for each reading the device's finger made, at the
// time of the video frame it was read in where there is one, with its state (read, followed,
// lost, refused), for a table or a plot of the angle over time.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace readings {

struct SeriesRow {
    double timeS = 0; // the video frame's time, or the run's where no video was read
    std::string timeFrom; // "video", "video frame rate" (its stamps lied) or "run"
    std::string frame; // the video frame's number, empty without one
    std::optional<double> angle; // none where nothing was read (lost, refused)
    std::string angleText; // as the trace states it, to a tenth
    std::string otherSide; // the round dial's other side as the readout showed it
    std::optional<double> uncertainty;
    std::string uncertaintyText;
    std::string state; // read, followed, lost or refused
    std::string note; // why nothing was read
};

class Series {
public:
    // One trace line; returns the rows it settles. A reading waits for the readout to show it
    // (for the other side) until the next reading or the end: never longer, never dropped.
    std::vector<SeriesRow> Line(const std::string& line);
    std::vector<SeriesRow> Flush();
    int BadLines() const { return m_badLines; }
    int UntimedLines() const { return m_untimedLines; }

private:
    std::optional<SeriesRow> m_waiting;
    int m_badLines = 0;
    int m_untimedLines = 0;
};

std::string SeriesHeader();
std::string SeriesCsvRow(const SeriesRow& r);

} // namespace readings
