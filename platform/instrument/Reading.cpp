// The finger's readings in words and in the record: the readout's own rule for the angle between
// the needles, the uncertainty rounded up to tenths, and JSON fields for the trace.
#include "instrument/Reading.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "device/Device.h"

namespace instrument {

namespace {

// The readout's angle between two needle angles, in whole tenths: the absolute difference, on
// the round dial the smaller way round, cut toward zero.
int Tenths(Dial dial, double a, double b)
{
    double angle = std::abs(a - b);
    if (dial == Dial::Round && angle > 360.0 - angle) {
        angle = 360.0 - angle;
    }
    return static_cast<int>(angle * 10);
}

std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

} // namespace

std::string StatedUncertainty(double degrees)
{
    // A hair over a tenth from rounding in the fit is still a tenth.
    const double tenths = std::isfinite(degrees) ? std::ceil(degrees * 10 - 1e-6) : 3600;
    const int t = static_cast<int>(std::clamp(tenths, 1.0, 3600.0));
    return std::to_string(t / 10) + "." + std::to_string(t % 10);
}

bool WiderThanATenth(double degrees) { return StatedUncertainty(degrees) != "0.1"; }

std::string ShownAngle(NeedleWatch& watch)
{
    const Dial dial = watch.Shown();
    const int t = Tenths(dial, watch.Angle(dial, Needle::Measuring), watch.Angle(dial, Needle::Origin));
    return std::to_string(t / 10) + "." + std::to_string(t % 10);
}

std::string Words(const Reading& r, bool ascii)
{
    if (!r.refused.empty()) {
        if (!ascii) {
            return r.refused;
        }
        // A reason names degrees too ("this edge bends: 2.8° between its halves").
        std::string words;
        for (size_t i = 0; i < r.refused.size(); i++) {
            if (r.refused.compare(i, 2, "\u00b0") == 0) {
                words += " deg";
                i++;
            } else if (r.refused.compare(i, 2, "\u00b1") == 0) {
                words += "+/-";
                i++;
            } else {
                words += r.refused[i];
            }
        }
        return words;
    }
    const std::string degree = ascii ? " deg" : "\u00b0";
    const std::string u = StatedUncertainty(r.uncertainty) + degree;
    std::string words = r.angle + degree + (ascii ? " +/- " : " \u00b1 ") + u;
    if (WiderThanATenth(r.uncertainty)) {
        words += ": the picture fixes this angle only to " + u + ", not to a tenth";
    }
    return words;
}

void Record(device::Device& device, const Reading& r)
{
    device::Device::Fields fields{{"x", std::to_string(static_cast<long long>(std::floor(r.screen.x)))},
                                  {"y", std::to_string(static_cast<long long>(std::floor(r.screen.y)))}};
    if (!r.refused.empty()) {
        fields.emplace_back("refused", Quote(r.refused));
    } else {
        fields.emplace_back("angle", r.angle);
        fields.emplace_back("uncertainty", StatedUncertainty(r.uncertainty));
    }
    if (r.frame) {
        char ms[32];
        std::snprintf(ms, sizeof ms, "%.3f", static_cast<double>(r.frame->timeUs) / 1000.0);
        fields.emplace_back("frame", std::to_string(r.frame->index));
        fields.emplace_back("pts_ms", ms);
        fields.emplace_back("pts_from", Quote(r.frame->stamped ? "stamp" : "frame rate"));
    }
    if (!r.state.empty()) {
        fields.emplace_back("state", Quote(r.state));
    }
    device.Record(r.find == Find::Corner ? "corner" : "edge", fields);
}

} // namespace instrument
