// The script reader and runner.
#include "headless/Script.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "codec/ImageCodec.h"
#include "device/Aiming.h"
#include "device/CameraSource.h"
#include "device/Device.h"
#include "files/BoundedFile.h"
#include "instrument/Finger.h"
#include "instrument/Follower.h"
#include "instrument/Reading.h"

namespace headless {

namespace {

struct Syntax {
    const char* word;
    Command::Kind kind;
    int numbers; // how many numbers it takes (the drag's step count is optional)
    bool integers; // screen points and step counts are whole numbers
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
    {"aim", Command::Kind::Aim, 3, false, "aim ZOOM PICTURE_X PICTURE_Y [at SCREEN_X SCREEN_Y]"},
    {"edge", Command::Kind::Edge, 2, true, "edge X Y"},
    {"corner", Command::Kind::Corner, 2, true, "corner X Y"},
    {"frame", Command::Kind::Frame, 1, false, "frame N"},
    {"pause", Command::Kind::Pause, 0, false, "pause"},
    {"play", Command::Kind::Play, 0, false, "play"},
    {"follow", Command::Kind::Follow, 0, false, "follow on|off"},
};

// One rule for every number of a script: decimal, an optional sign, digits and an
// optional fraction ("-90", "0.5", ".5"). No exponents, hexadecimal, "inf" or "nan".
bool ParseNumber(const std::string& word, double& out)
{
    size_t i = word[0] == '-' || word[0] == '+' ? 1 : 0;
    size_t digits = 0;
    bool point = false;
    for (; i < word.size(); i++) {
        if (word[i] >= '0' && word[i] <= '9') {
            digits++;
        } else if (word[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0) {
        return false;
    }
    errno = 0;
    const double v = std::strtod(word.c_str(), nullptr);
    // A decimal too long for a double is a mistake, not infinity.
    if (errno == ERANGE || !std::isfinite(v)) {
        return false;
    }
    out = v;
    return true;
}

std::string Decimal(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
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
           "  aim ZOOM PX PY       aim the camera: zoom 0.125 to 8 (1 covers the screen), the picture\n"
           "                       point (PX, PY), in fractions of its width and height, at the centre\n"
           "  aim ZOOM PX PY at SX SY  the same, with the picture point on screen point (SX, SY)\n"
           "  edge X Y             lay the needle nearest (X, Y) along the picture's edge there that\n"
           "                       passes through the hub\n"
           "  corner X Y           aim the corner nearest (X, Y) under the hub, lay both needles along it\n"
           "  frame N              show frame N of the video (0 is its first), paused there\n"
           "  pause                pause the video; play: play it on from the frame on show\n"
           "  follow on|off        follow the corner read last from picture to picture, or stop\n"
           "  # ...                a comment; blank lines are ignored\n"
           "  numbers are decimal (-90, 0.5); a script holds at most 100000 lines and 1 MiB\n";
}

bool Script::Load(const std::string& path, Script& out, std::string& error)
{
    const auto fail = [&](const std::string& why) {
        error = "cannot read script " + path + ": " + why;
        return false;
    };
    // A pipe ("--script <(...)") is read as it comes; anything endless is cut off at the limit.
    std::string text;
    const outpath::ReadOutcome read = outpath::ReadBoundedFile(path, kMaxBytes, text, outpath::Takes::Streams);
    switch (read.problem) {
    case outpath::ReadProblem::None: break;
    case outpath::ReadProblem::Folder: return fail("a folder, not a script");
    case outpath::ReadProblem::TooLarge:
        return fail("longer than " + std::to_string(kMaxBytes / (1024 * 1024)) + " MiB");
    case outpath::ReadProblem::Missing:
    case outpath::ReadProblem::Special:
    case outpath::ReadProblem::Failed: return fail(read.Reason());
    }
    return Parse(text, path, out, error);
}

bool Script::Parse(const std::string& text, const std::string& name, Script& out, std::string& error)
{
    Script script;
    script.m_name = name;
    // An editor's UTF-8 byte-order mark is not part of the first command.
    const bool bom = text.rfind("\xEF\xBB\xBF", 0) == 0;
    std::istringstream lines(bom ? text.substr(3) : text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        number++;
        const auto fail = [&](const std::string& why) {
            error = name + ":" + std::to_string(number) + ": " + why;
            return false;
        };
        if (number > kMaxLines) {
            return fail("a script holds at most " + std::to_string(kMaxLines) + " lines");
        }
        if (line.find('\0') != std::string::npos) {
            return fail("the line holds a NUL byte; a script is plain text");
        }
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
        if (syntax->kind == Command::Kind::Follow) {
            if (args != 1 || (w[1] != "on" && w[1] != "off")) {
                return fail("expected: " + std::string(syntax->usage));
            }
            c.text = w[1];
        } else if (syntax->kind == Command::Kind::Screenshot) {
            if (args == 0) {
                return fail("expected: " + std::string(syntax->usage));
            }
            // The file is the rest of the line, so its name may hold spaces.
            const auto start = line.find_first_not_of(" \t\r\v\f", line.find(w[0]) + w[0].size());
            const auto end = line.find_last_not_of(" \t\r\v\f");
            c.text = line.substr(start, end + 1 - start);
        } else {
            // "aim Z PX PY at SX SY": the picture point goes to a screen point, not the centre.
            if (syntax->kind == Command::Kind::Aim && w.size() == 7 && w[4] == "at") {
                w.erase(w.begin() + 4);
                c.text = "at";
            }
            const bool optionalSteps = syntax->kind == Command::Kind::Drag;
            const bool aimAt = c.text == "at";
            if (!aimAt && args != static_cast<size_t>(syntax->numbers) && !(optionalSteps && args == 5)) {
                return fail("expected: " + std::string(syntax->usage));
            }
            for (size_t i = 1; i < w.size(); i++) {
                double v = 0;
                if (!ParseNumber(w[i], v)) {
                    return fail("'" + w[i] + "' is not a number (expected: " + syntax->usage + ")");
                }
                if (syntax->integers && v != std::floor(v)) {
                    return fail("'" + w[i] + "' is not a whole number of pixels (expected: " + syntax->usage + ")");
                }
                if (syntax->integers && std::abs(v) > 100000) {
                    return fail("'" + w[i] +
                                "' is past the limit of -100000 to 100000 pixels (expected: " + syntax->usage + ")");
                }
                c.numbers.push_back(v);
            }
            // A frame is counted from 0; a number past the video's end is found only once it plays.
            if (syntax->kind == Command::Kind::Frame &&
                (c.numbers[0] < 0 || c.numbers[0] != std::floor(c.numbers[0]) || c.numbers[0] > 1e12)) {
                return fail("frame takes a frame number, 0 for the video's first, not '" + w[1] + "'");
            }
            if (syntax->kind == Command::Kind::Wait && (c.numbers[0] < 0 || c.numbers[0] > 86400000)) {
                return fail("wait takes 0 to 86400000 milliseconds");
            }
            if (syntax->kind == Command::Kind::Drag && args == 5 && (c.numbers[4] < 1 || c.numbers[4] > 1000)) {
                return fail("a drag takes 1 to 1000 steps");
            }
            // The device would clamp it; a script that asks for more than it gets is a mistake.
            const bool aim = syntax->kind == Command::Kind::Aim;
            if (aim && (c.numbers[0] < device::kMinZoom || c.numbers[0] > device::kMaxZoom)) {
                return fail("aim takes a zoom from " + Decimal(device::kMinZoom) + " to " + Decimal(device::kMaxZoom) +
                            ", not '" + w[1] + "'");
            }
        }
        script.m_commands.push_back(std::move(c));
    }
    out = std::move(script);
    return true;
}

namespace {

// How long a `corner` or `edge` waits for the screen to show the needles it laid: the camera's
// next frame draws them, or at once while the picture is held.
constexpr device::Micros kShownWithin = 1000 * 1000;

// Lays the needles as the plan says; returns the screen's version from before.
std::uint64_t Lay(device::Device& dev, const instrument::Plan& plan)
{
    // Whatever was due already is drawn first, so the next change of the screen is the plan's.
    dev.RunFor(0);
    const std::uint64_t before = dev.GetDisplay().Version();
    instrument::Carry(dev, plan, [&](const device::Aim& aim) { dev.PostAim(aim); });
    dev.RunFor(0);
    return before;
}

// Waits until the screen has drawn something since `before`; false when it never did (the
// application took no touches: it is in the background).
bool Shown(device::Device& dev, std::uint64_t before)
{
    for (device::Micros waited = 0; dev.GetDisplay().Version() == before; waited += 1000) {
        if (waited >= kShownWithin || dev.TerminationRequested()) {
            return false;
        }
        dev.RunFor(1000);
    }
    return true;
}

} // namespace

Script::Outcome Script::Run(device::Device& dev, const std::function<void(const std::string&)>& report) const
{
    using Phase = device::Device::TouchPhase;
    Outcome outcome;
    // Where the needles lie, for the finger that lays them along edges.
    instrument::NeedleWatch watch(dev);
    // Follows in step with the script's clock: each picture is searched as it comes.
    instrument::Follower follower(dev, watch, instrument::Follower::Run::Here,
                                  {[&](const device::Aim& aim) { dev.PostAim(aim); },
                                   [&](const std::string& line) { report(m_name + ": " + line); },
                                   {}});
    instrument::Plan lastCorner; // what `follow on` follows
    const auto touch = [&](Phase phase, double x, double y) {
        dev.PostTouch(phase, static_cast<int>(x), static_cast<int>(y));
        dev.RunFor(0);
    };
    for (const Command& c : m_commands) {
        if (dev.TerminationRequested()) {
            break;
        }
        const auto& n = c.numbers;
        // The script's own touches and readings take the needles from the follower.
        if (c.kind == Command::Kind::Down || c.kind == Command::Kind::Press || c.kind == Command::Kind::Drag) {
            follower.Stop("line " + std::to_string(c.line) + " touches the screen");
        } else if (c.kind == Command::Kind::Edge || c.kind == Command::Kind::Corner) {
            follower.Stop("line " + std::to_string(c.line) + " reads " +
                          (c.kind == Command::Kind::Edge ? "an edge" : "a corner"));
        }
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
        case Command::Kind::Background:
            dev.PostBackground();
            dev.RunFor(0);
            break;
        case Command::Kind::Foreground:
            dev.PostForeground();
            dev.RunFor(0);
            break;
        case Command::Kind::Aim:
            if (n.size() == 5) {
                dev.PostAimAt(n[0], n[1], n[2], n[3], n[4]);
            } else {
                dev.PostAim(device::Aim{n[0], n[1], n[2]});
            }
            dev.RunFor(0);
            break;
        case Command::Kind::Edge:
        case Command::Kind::Corner: {
            // Screen pixels name pixel centres, which lie half a pixel in. What reads nothing is
            // told and recorded, the needles stay where they are, and the run goes on.
            const instrument::Request request = instrument::Ask(dev, watch, {n[0] + 0.5, n[1] + 0.5});
            const bool corner = c.kind == Command::Kind::Corner;
            const instrument::Plan plan =
                corner ? instrument::PlanCorner(dev, request) : instrument::PlanEdge(dev, request);
            // A corner laid, however wide its uncertainty, is one to follow from.
            lastCorner = plan.Refused() ? instrument::Plan{} : plan;
            instrument::Reading reading;
            reading.find = corner ? instrument::Find::Corner : instrument::Find::Edge;
            reading.screen = request.screen;
            reading.frame = plan.frame;
            // A reading laid with a wide uncertainty is a reading: its words say how wide.
            if (plan.Refused()) {
                reading.refused = plan.notice.empty() ? "nothing to lay" : plan.notice;
            } else {
                // Recorded as soon as the needles lie, before the screen shows them, so that the
                // readout drawn next is known for the finger's.
                const std::uint64_t before = Lay(dev, plan);
                reading.angle = instrument::ShownAngle(watch);
                reading.uncertainty = plan.uncertainty;
                instrument::Record(dev, reading);
                if (Shown(dev, before)) {
                    break;
                }
                reading.refused = "the screen did not show the needles laid within 1 s (is the application in the "
                                  "background?)";
            }
            instrument::Record(dev, reading);
            if (!reading.refused.empty()) {
                report(m_name + ":" + std::to_string(c.line) + ": " + reading.refused);
                outcome.unread++;
            }
            break;
        }
        case Command::Kind::Frame:
        case Command::Kind::Pause:
        case Command::Kind::Play: {
            // Whatever was due is drawn first; the frame asked for is on show from the next one.
            dev.RunFor(0);
            std::string reason;
            const bool done =
                c.kind == Command::Kind::Frame
                    ? dev.Camera().ShowFrame(static_cast<std::int64_t>(n[0]), reason)
                    : dev.Camera().Play(
                          c.kind == Command::Kind::Pause ? device::Playback::Pause : device::Playback::Play, reason);
            if (!done) {
                report(m_name + ":" + std::to_string(c.line) + ": " + reason);
                outcome.unplayed++;
            }
            break;
        }
        case Command::Kind::Follow: {
            std::string why;
            if (c.text == "off") {
                follower.Stop("line " + std::to_string(c.line) + " says follow off");
            } else if (!follower.Start(lastCorner, why)) {
                report(m_name + ":" + std::to_string(c.line) + ": " + why);
                outcome.unread++;
            }
            break;
        }
        case Command::Kind::Screenshot: {
            std::string reason;
            const device::PixelView shot = dev.GetDisplay().Compose();
            if (!codec::WritePngFile(c.text, shot.pixels, shot.width, shot.height, shot.stride, reason)) {
                report(m_name + ":" + std::to_string(c.line) + ": cannot write screenshot: " + reason);
                outcome.written = false;
            }
            break;
        }
        }
    }
    return outcome;
}

} // namespace headless
