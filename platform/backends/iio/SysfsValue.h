// Reading one sysfs attribute safely (small, never blocking, regular files only) and
// parsing the numbers the IIO interface writes: integers, decimals and a mount matrix.
#pragma once

#include <array>
#include <string>

namespace iio {

enum class ReadStatus { Ok, Missing, Failed };

// Reads the whole of the file `dir/name` (at most a few hundred bytes) into `text`.
// Missing: there is no such file. Failed: anything else, with a reason naming the file.
ReadStatus ReadAttribute(const std::string& dir, const std::string& name, std::string& text, std::string& reason);

// A decimal number as the kernel writes it: an optional minus, digits, an optional
// fraction, and optional whitespace around it. No exponent, no "inf" or "nan".
bool ParseDecimal(const std::string& text, double& value);

// Nine decimals "a, b, c; d, e, f; g, h, i", row by row.
using Matrix = std::array<double, 9>;
bool ParseMatrix(const std::string& text, Matrix& m);

} // namespace iio
