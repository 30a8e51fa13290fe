// Sysfs attributes are tiny regular files that may vanish at any moment (a sensor unbound,
// a device unplugged); a folder a user names may hold anything, so nothing here blocks.
#include "iio/SysfsValue.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "files/BoundedFile.h"

namespace iio {

namespace {

constexpr size_t kMaxAttribute = 256;

std::string Trim(const std::string& s)
{
    size_t a = 0;
    size_t b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) {
        a++;
    }
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) {
        b--;
    }
    return s.substr(a, b - a);
}

} // namespace

ReadStatus ReadAttribute(const std::string& dir, const std::string& name, std::string& text, std::string& reason)
{
    // Never blocking, so a FIFO planted under an attribute's name cannot stall the event thread.
    std::string read;
    const outpath::ReadOutcome outcome = outpath::ReadBoundedFile(dir + "/" + name, kMaxAttribute, read);
    switch (outcome.problem) {
    case outpath::ReadProblem::None: text = std::move(read); return ReadStatus::Ok;
    case outpath::ReadProblem::Missing: reason = name + " is gone"; return ReadStatus::Missing;
    case outpath::ReadProblem::Folder:
    case outpath::ReadProblem::Special: reason = name + " is not a regular file"; break;
    case outpath::ReadProblem::TooLarge: reason = name + " is longer than an attribute can be"; break;
    case outpath::ReadProblem::Failed: reason = name + ": " + outcome.Reason(); break;
    }
    return ReadStatus::Failed;
}

bool ParseDecimal(const std::string& text, double& value)
{
    const std::string t = Trim(text);
    if (t.empty()) {
        return false;
    }
    // from_chars would take "inf" and "nan"; a kernel writes neither, nor a plus sign.
    for (char c : t) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '-' && c != '.') {
            return false;
        }
    }
    const char* end = t.data() + t.size();
    const auto [ptr, ec] = std::from_chars(t.data(), end, value, std::chars_format::fixed);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

bool ParseMatrix(const std::string& text, Matrix& m)
{
    const std::string t = Trim(text);
    size_t at = 0;
    for (int row = 0; row < 3; row++) {
        const size_t rowEnd = row < 2 ? t.find(';', at) : t.size();
        if (rowEnd == std::string::npos) {
            return false;
        }
        const std::string rowText = t.substr(at, rowEnd - at);
        size_t cell = 0;
        for (int col = 0; col < 3; col++) {
            const size_t cellEnd = col < 2 ? rowText.find(',', cell) : rowText.size();
            if (cellEnd == std::string::npos ||
                !ParseDecimal(rowText.substr(cell, cellEnd - cell), m[static_cast<size_t>(row * 3 + col)])) {
                return false;
            }
            cell = cellEnd + 1;
        }
        at = rowEnd + 1;
    }
    return true;
}

} // namespace iio
