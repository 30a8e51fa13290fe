// The readout's digit images spelled back into numbers, and the turn of the big digits into
// the orientation code the readout faces.
#include "Readout.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace readings {

namespace {

// The readout's images: "bigNum7.png" is the digit 7 of the angle, "bigNum10.png" the
// point, "bigNum11.png" the degree sign; "smallNum..." the same for the other side.
int ImageIndex(const std::string& bitmap, const char* prefix)
{
    const std::string p(prefix);
    if (bitmap.compare(0, p.size(), p) != 0 || bitmap.size() < p.size() + 5 ||
        bitmap.compare(bitmap.size() - 4, 4, ".png") != 0) {
        return -1;
    }
    const std::string digits = bitmap.substr(p.size(), bitmap.size() - p.size() - 4);
    if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::atoi(digits.c_str());
}

// The number the images of one kind spell, in the order they were drawn: digits, the
// point, the tenth, the sign. Empty when they spell nothing whole.
std::string Spell(const std::vector<int>& images)
{
    std::string whole, tenth;
    bool point = false, sign = false;
    for (int i : images) {
        if (i >= 0 && i <= 9 && !sign) {
            (point ? tenth : whole) += static_cast<char>('0' + i);
        } else if (i == 10 && !point) {
            point = true;
        } else if (i == 11) {
            sign = true;
        } else {
            return {};
        }
    }
    if (whole.empty() || tenth.size() != 1 || !sign) {
        return {};
    }
    return whole + "." + tenth;
}

// The angle of the big digits tells which way the readout faces: the orientation code.
int CodeForTurn(double angle)
{
    const long a = std::lround(angle);
    switch (a) {
    case 0: return 2;
    case 180:
    case -180: return 3;
    case 90: return 0;
    case -90:
    case 270: return 1;
    default: return -1;
    }
}

} // namespace

Readout ReadReadout(const std::vector<Draw>& draws)
{
    std::vector<int> big, small;
    int code = -1;
    for (const auto& d : draws) {
        if (const int i = ImageIndex(d.bitmap, "bigNum"); i >= 0) {
            big.push_back(i);
            if (code < 0) {
                code = CodeForTurn(d.angle.value_or(0.0));
            }
        } else if (const int j = ImageIndex(d.bitmap, "smallNum"); j >= 0) {
            small.push_back(j);
        }
    }
    Readout r;
    r.angle = Spell(big);
    r.otherSide = Spell(small);
    r.orientation = r.angle.empty() ? -1 : code;
    return r;
}

int Tenths(const std::string& shown)
{
    const std::size_t point = shown.find('.');
    if (point == std::string::npos || point == 0 || point + 2 != shown.size() || shown[point + 1] < '0' ||
        shown[point + 1] > '9') {
        return -1;
    }
    int whole = 0;
    const char* end = shown.data() + point;
    const auto [at, error] = std::from_chars(shown.data(), end, whole);
    // More digits than any angle has are no reading either.
    if (error != std::errc() || at != end || whole > std::numeric_limits<int>::max() / 10 - 1) {
        return -1;
    }
    return whole * 10 + (shown[point + 1] - '0');
}

} // namespace readings
