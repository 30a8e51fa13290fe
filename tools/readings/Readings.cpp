// Reading the trace: the readout's digit images turned back into the numbers they show, and
// the camera's stops and starts into held and live.
#include "Readings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "TraceLine.h"

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

std::vector<Reading> Reader::Flush()
{
    std::vector<Reading> out;
    if (m_pending) {
        out.push_back(*m_pending);
        m_pending.reset();
    }
    return out;
}

std::optional<Reading> Reader::Change(const Reading& next)
{
    const bool changed = next.angle != m_current.angle || next.otherSide != m_current.otherSide ||
                         next.orientation != m_current.orientation || next.held != m_current.held;
    m_current = next;
    // Nothing is told before the readout first shows a number.
    if ((!changed && m_any) || (!m_any && next.angle.empty())) {
        return std::nullopt;
    }
    m_any = true;
    return next;
}

std::vector<Reading> Reader::Line(const std::string& line)
{
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
        return {};
    }
    TraceLine read;
    if (!ReadTraceLine(line, read)) {
        m_badLines++;
        return {};
    }
    if (!read.type) {
        return {};
    }
    const bool call = *read.type == "call" && read.name;
    if (m_pending && call && *read.name == "Camera::PowerOff") {
        // The camera was switched off, not a picture held: nothing changed for the user.
        m_pending.reset();
        m_current = m_beforePending;
        return {};
    }
    std::vector<Reading> out = Flush();
    Reading next = m_current;
    if (read.time) {
        next.timeMs = *read.time;
    }
    if (*read.type == "canvas") {
        if (!read.hasDraws) {
            return out;
        }
        std::vector<int> big, small;
        int code = -1;
        for (const auto& d : read.draws) {
            if (const int i = ImageIndex(d.bitmap, "bigNum"); i >= 0) {
                big.push_back(i);
                if (code < 0) {
                    code = CodeForTurn(d.angle.value_or(0.0));
                }
            } else if (const int j = ImageIndex(d.bitmap, "smallNum"); j >= 0) {
                small.push_back(j);
            }
        }
        next.angle = Spell(big);
        next.otherSide = Spell(small);
        next.orientation = next.angle.empty() ? -1 : code;
    } else if (call) {
        // A preview that did not start or stop leaves the picture as it was.
        const bool ok = !read.result || *read.result == "E_SUCCESS";
        if (*read.name == "Camera::StopPreview" && ok) {
            next.held = true;
        } else if (*read.name == "Camera::StartPreview" && ok) {
            next.held = false;
        } else {
            return out;
        }
    } else {
        return out;
    }
    const Reading before = m_current;
    if (auto r = Change(next)) {
        if (r->held && !before.held) {
            m_beforePending = before;
            m_pending = r;
        } else {
            out.push_back(*r);
        }
    }
    return out;
}

std::string CsvHeader() { return "time_ms,angle,other_side,orientation,mode"; }

std::string CsvRow(const Reading& r)
{
    char t[32];
    std::snprintf(t, sizeof t, "%.3f", r.timeMs);
    return std::string(t) + "," + r.angle + "," + r.otherSide + "," +
           (r.orientation >= 0 ? std::to_string(r.orientation) : std::string()) + "," + (r.held ? "held" : "live");
}

} // namespace readings
