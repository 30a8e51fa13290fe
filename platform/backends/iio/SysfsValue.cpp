// Sysfs attributes are tiny regular files that may vanish at any moment (a sensor unbound,
// a device unplugged); a folder a user names may hold anything, so nothing here blocks.
#include "iio/SysfsValue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

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
    const std::string path = dir + "/" + name;
    // Non-blocking, so a FIFO planted under an attribute's name cannot stall the event thread.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            reason = name + " is gone";
            return ReadStatus::Missing;
        }
        reason = name + ": " + std::strerror(errno);
        return ReadStatus::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        reason = name + " is not a regular file";
        return ReadStatus::Failed;
    }
    char buf[kMaxAttribute + 1];
    size_t got = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buf + got, sizeof buf - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            reason = name + ": " + std::strerror(errno);
            ::close(fd);
            return ReadStatus::Failed;
        }
        got += static_cast<size_t>(n);
        if (n == 0 || got == sizeof buf) {
            break;
        }
    }
    ::close(fd);
    if (got > kMaxAttribute) {
        reason = name + " is longer than an attribute can be";
        return ReadStatus::Failed;
    }
    text.assign(buf, got);
    return ReadStatus::Ok;
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
