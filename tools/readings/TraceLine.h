// One line of a trace, read for what the readout and the camera say: the line is parsed
// event by event and only those few fields are kept, so memory stays near the line's.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Readout.h"

namespace readings {

struct TraceLine {
    std::optional<std::string> type; // "canvas", "call" or "finger"
    std::optional<double> time; // "t", in milliseconds
    std::string timeText; // "t" as the line writes it, e.g. "1e308"
    std::optional<std::string> name; // a call's name
    std::optional<std::string> result; // a call's "args": {"result": ...}
    // A finger's "args": the reading and its uncertainty, or why it read nothing.
    std::optional<double> angle;
    std::optional<double> uncertainty;
    std::optional<std::string> refused;
    // Read in a video: the frame's number and its time in the video ("pts_ms"), and where that
    // time came from ("stamp", or "frame rate" where the video's stamps lied); and the reading's
    // state where the record names one ("read", "followed", "lost", "refused").
    std::optional<double> frame;
    std::optional<double> ptsMs;
    std::optional<std::string> ptsFrom;
    std::optional<std::string> state;
    bool hasDraws = false; // a canvas's "draws" is an array
    // The bitmaps drawn, in order, and each one's turn ("angle") where it has one.
    std::vector<Draw> draws;
};

// Fills `out` from a line holding one JSON object. False when the line is not one: not
// JSON, another kind of value, a number no double holds, or nested deeper than any trace
// line is.
bool ReadTraceLine(const std::string& line, TraceLine& out);
// A line with a type, read; a blank line is passed over, and one that is not a trace line
// counts in `bad`.
bool ReadTypedLine(const std::string& line, TraceLine& out, int& bad);
// A CSV field: one holding a comma, a quote or a line end is quoted, its quotes doubled.
std::string CsvField(const std::string& text);

} // namespace readings
