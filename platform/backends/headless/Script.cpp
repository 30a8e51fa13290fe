// The script reader and runner.
#include "headless/Script.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "codec/ImageCodec.h"
#include "device/CameraSource.h"
#include "device/Device.h"

namespace headless {

namespace {

struct Syntax {
    const char* word;
    Command::Kind kind;
    int numbers;     // how many numbers it takes (the drag's step count is optional)
    bool integers;   // screen points and step counts are whole numbers
    const char* usage;
};

const Syntax kSyntax[] = {
    {"down", Command::Kind::Down, 2, true, "down X Y"},
    {"move", Command::Kind::Move, 2, true, "move X Y"},
    {"up", Command::Kind::Up, 2, true, "up X Y"},
    {"drag", Command::Kind::Drag, 4, true, "drag X0 Y0 X1 Y1 [STEPS]"},
    {"press", Command::Kind::Press, 2, true, "press X Y"},
    {"pitch", Command::Kind::Pitch, 1, false, "pitch DEGREES"},
    {"wait", Command::Kind::Wait, 1, false, "wait MILLISECONDS"},
    {"background", Command::Kind::Background, 0, false, "background"},
    {"foreground", Command::Kind::Foreground, 0, false, "foreground"},
    {"screenshot", Command::Kind::Screenshot, 0, false, "screenshot FILE"},
    {"aim", Command::Kind::Aim, 3, false, "aim ZOOM CENTRE_X CENTRE_Y"},
};

bool ParseNumber(const std::string& word, bool pitch, double& out)
{
    const char* s = word.c_str();
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s, &end);
    if (end == s || *end != '\0' || errno == ERANGE) {
        return false;
    }
    // Only the pitch may be any float (a sensor can report anything); points, waits and
    // zooms must be finite.
    if (!pitch && !std::isfinite(v)) {
        return false;
    }
    out = v;
    return true;
}

} // namespace

const char* Script::Help()
{
    return "  down X Y             put a finger on the screen at (X, Y)\n"
           "  move X Y             move it to (X, Y)\n"
           "  up X Y               lift it at (X, Y)\n"
           "  drag X0 Y0 X1 Y1 [N] press at the first point, move there in N steps (default 8), lift\n"
           "  press X Y            tap whatever is at (X, Y): down and up without moving\n"
           "  pitch DEGREES        hold the phone at this pitch (-90 landscape, 0 portrait, ...)\n"
           "  wait MILLISECONDS    let simulated time pass\n"
           "  background           send the application to the background\n"
           "  foreground           bring it back\n"
           "  screenshot FILE      write the screen as a PNG file\n"
           "  aim ZOOM CX CY       aim the camera: zoom 1 to 8, centre as fractions of the picture\n"
           "  # ...                a comment; blank lines are ignored\n";
}

bool Script::Load(const std::string& path, Script& out, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read script " + path + ": " + std::strerror(errno);
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = "cannot read script " + path + ": " + std::strerror(errno);
        return false;
    }
    return Parse(text.str(), path, out, error);
}

bool Script::Parse(const std::string& text, const std::string& name, Script& out, std::string& error)
{
    Script script;
    script.m_name = name;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        number++;
        const auto fail = [&](const std::string& why) {
            error = name + ":" + std::to_string(number) + ": " + why;
            return false;
        };
        if (const auto hash = line.find('#'); hash != std::string::npos) {
            line.erase(hash);
        }
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) {
            w.push_back(word);
        }
        if (w.empty()) {
            continue;
        }
        const Syntax* syntax = nullptr;
        for (const auto& s : kSyntax) {
            if (w[0] == s.word) {
                syntax = &s;
            }
        }
        if (!syntax) {
            return fail("unknown command '" + w[0] + "'");
        }
        Command c{syntax->kind, number, {}, {}};
        const size_t args = w.size() - 1;
        if (syntax->kind == Command::Kind::Screenshot) {
            if (args != 1) {
                return fail("expected: " + std::string(syntax->usage));
            }
            c.text = w[1];
        } else {
            const bool optionalSteps = syntax->kind == Command::Kind::Drag;
            if (args != static_cast<size_t>(syntax->numbers) && !(optionalSteps && args == 5)) {
                return fail("expected: " + std::string(syntax->usage));
            }
            for (size_t i = 1; i < w.size(); i++) {
                double v = 0;
                if (!ParseNumber(w[i], syntax->kind == Command::Kind::Pitch, v)) {
                    return fail("'" + w[i] + "' is not a number (expected: " + syntax->usage + ")");
                }
                if (syntax->integers && (v != std::floor(v) || std::abs(v) > 100000)) {
                    return fail("'" + w[i] + "' is not a whole number of pixels (expected: " + syntax->usage + ")");
                }
                c.numbers.push_back(v);
            }
            if (syntax->kind == Command::Kind::Wait && (c.numbers[0] < 0 || c.numbers[0] > 86400000)) {
                return fail("wait takes 0 to 86400000 milliseconds");
            }
            if (syntax->kind == Command::Kind::Drag && args == 5 && (c.numbers[4] < 1 || c.numbers[4] > 1000)) {
                return fail("a drag takes 1 to 1000 steps");
            }
        }
        script.m_commands.push_back(std::move(c));
    }
    out = std::move(script);
    return true;
}

bool Script::Run(device::Device& dev, const std::function<void(const std::string&)>& report) const
{
    using Phase = device::Device::TouchPhase;
    bool ok = true;
    const auto touch = [&](Phase phase, double x, double y) {
        dev.PostTouch(phase, static_cast<int>(x), static_cast<int>(y));
        dev.RunFor(0);
    };
    for (const Command& c : m_commands) {
        if (dev.TerminationRequested()) {
            break;
        }
        const auto& n = c.numbers;
        switch (c.kind) {
        case Command::Kind::Down: touch(Phase::Press, n[0], n[1]); break;
        case Command::Kind::Move: touch(Phase::Move, n[0], n[1]); break;
        case Command::Kind::Up: touch(Phase::Release, n[0], n[1]); break;
        case Command::Kind::Press:
            touch(Phase::Press, n[0], n[1]);
            touch(Phase::Release, n[0], n[1]);
            break;
        case Command::Kind::Drag: {
            const int steps = n.size() > 4 ? static_cast<int>(n[4]) : 8;
            touch(Phase::Press, n[0], n[1]);
            for (int i = 1; i <= steps; i++) {
                touch(Phase::Move, std::lround(n[0] + (n[2] - n[0]) * i / steps),
                      std::lround(n[1] + (n[3] - n[1]) * i / steps));
            }
            touch(Phase::Release, n[2], n[3]);
            break;
        }
        case Command::Kind::Pitch:
            dev.PostPitch(static_cast<float>(n[0]));
            dev.RunFor(0);
            break;
        case Command::Kind::Wait: dev.RunFor(static_cast<device::Micros>(std::llround(n[0] * 1000))); break;
        case Command::Kind::Background: dev.PostBackground(); dev.RunFor(0); break;
        case Command::Kind::Foreground: dev.PostForeground(); dev.RunFor(0); break;
        case Command::Kind::Aim:
            dev.PostAim(device::Aim{n[0], n[1], n[2]});
            dev.RunFor(0);
            break;
        case Command::Kind::Screenshot: {
            std::string reason;
            const device::PixelView shot = dev.GetDisplay().Compose();
            if (!codec::WritePngFile(c.text, shot.pixels, shot.width, shot.height, shot.stride, reason)) {
                report(m_name + ":" + std::to_string(c.line) + ": cannot write screenshot: " + reason);
                ok = false;
            }
            break;
        }
        }
    }
    return ok;
}

} // namespace headless
