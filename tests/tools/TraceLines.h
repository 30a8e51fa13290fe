// Trace lines written by hand for the readings tool's tests: a canvas whose readout spells
// a number, a call of the camera, and the device's finger reading or refusing.
#pragma once

#include <string>

namespace testing_support::trace_lines {

inline std::string Draw(const std::string& bitmap, int angle)
{
    return "{\"bitmap\":\"" + bitmap +
           "\",\"x\":0,\"y\":0,\"pivotX\":12,\"pivotY\":16,\"angle\":" + std::to_string(angle) + "}";
}

// A canvas line whose readout spells `big` (and `small`), facing as `turn` says.
inline std::string Canvas(double t, const std::string& big, const std::string& small, int turn)
{
    std::string draws = Draw("landscape_pin.png", 45);
    const auto spell = [&](const std::string& text, const char* prefix, int angle) {
        for (char c : text) {
            const int i = c == '.' ? 10 : c - '0';
            draws += "," + Draw(std::string(prefix) + std::to_string(i) + ".png", angle);
        }
        draws += "," + Draw(std::string(prefix) + "11.png", angle);
    };
    spell(big, "bigNum", turn);
    if (!small.empty()) {
        spell(small, "smallNum", turn);
    }
    return "{\"t\":" + std::to_string(t) + ",\"type\":\"canvas\",\"draws\":[" + draws + "]}";
}

inline std::string Call(double t, const std::string& name)
{
    return "{\"t\":" + std::to_string(t) + ",\"type\":\"call\",\"name\":\"" + name +
           "\",\"args\":{\"result\":\"E_SUCCESS\"}}";
}

// The device's finger: `args` is the inside of its "args" object.
inline std::string Finger(double t, const std::string& name, const std::string& args)
{
    return "{\"t\":" + std::to_string(t) + ",\"type\":\"finger\",\"name\":\"" + name + "\",\"args\":{" + args + "}}";
}

} // namespace testing_support::trace_lines
