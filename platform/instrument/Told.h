// What the finger says of a search: why nothing was read, in what the user sees, and how far a
// reading can be trusted when that is less than the readout's tenth.
#pragma once

#include <string>

#include "instrument/EdgeFinder.h"
#include "instrument/Finger.h"

namespace instrument {

// Why a search for a corner (or, `edge`, an edge) read nothing; `scale` is screen pixels a
// picture pixel, `within` how near the point (screen pixels) it is read.
std::string Told(const Look& look, double scale, double within, bool edge = false);

// Keeps a reading's uncertainty (degrees) with its plan; a wider one than a tenth is said.
void Measured(Plan& plan, double uncertainty, const char* what);

} // namespace instrument
