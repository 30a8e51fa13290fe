// The readout read back from the images it is drawn with: the digit images of a canvas turned
// into the numbers they show. The readings tool, the tests and the fuzzer all read it here.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace readings {

// One image drawn on a canvas, by its file name, and its turn where it was drawn turned.
struct Draw {
    std::string bitmap;
    std::optional<double> angle;
};

// What the readout's images on one canvas show.
struct Readout {
    std::string angle; // as shown, e.g. "105.0"; empty when the big images spell no number
    std::string otherSide; // the same for the small images: the round dial's other side
    int orientation = -1; // the orientation code the big digits face; -1 when no angle is shown
};

// Reads the readout from a canvas's draws in drawing order; images of anything else are
// passed over. A kind of image that does not spell one whole number (digits, the point,
// one tenth, the degree sign, in that order) is read as no number.
Readout ReadReadout(const std::vector<Draw>& draws);

// A number as the readout shows it in tenths of a degree ("105.0" is 1050); -1 for none.
int Tenths(const std::string& shown);

} // namespace readings
