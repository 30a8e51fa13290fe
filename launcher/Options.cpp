// The options table. Each row is an option's name, its value's name, its help and how it is
// stored; the parser and the help are both made from it.
#include "Options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Installation.h"
#include "Tell.h"
#include "headless/Script.h"
#include "sdl/SdlWindow.h"

namespace launcher {

namespace {

using Parser = bool (*)(const std::string& value, Options& o, std::string& error);

// How an option is stored: one of these.
struct Store {
    bool Options::*flag = nullptr;
    std::string Options::*text = nullptr;
    Parser parse = nullptr;
    int (*act)() = nullptr; // does what it says and ends the run with the code it returns
};

constexpr Store Switch(bool Options::*flag) { return {flag, nullptr, nullptr, nullptr}; }
constexpr Store Text(std::string Options::*text) { return {nullptr, text, nullptr, nullptr}; }
constexpr Store Parsed(Parser parse) { return {nullptr, nullptr, parse, nullptr}; }
constexpr Store Action(int (*act)()) { return {nullptr, nullptr, nullptr, act}; }

struct Option {
    const char* name;
    const char* alias; // another spelling the help does not list, or null
    const char* argument; // the value's name in the help; null for a switch
    const char* help; // lines apart by '\n'
    Store store;
};

bool ParseSeconds(const std::string& v, Options& o, std::string& error)
{
    char* end = nullptr;
    errno = 0;
    const double s = std::strtod(v.c_str(), &end);
    if (v.empty() || *end != '\0' || errno != 0 || !std::isfinite(s) || s < 0 || s > 86400) {
        error = "--seconds wants a number of seconds from 0 to 86400, not '" + v + "'";
        return false;
    }
    o.seconds = s;
    o.secondsGiven = true;
    return true;
}

bool ParseShrink(const std::string& v, Options& o, std::string& error)
{
    char* end = nullptr;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end != '\0' || n < 1 || n > 8) {
        error = "--shrink wants a whole number from 1 to 8, not '" + v + "'";
        return false;
    }
    o.shrink = static_cast<int>(n);
    return true;
}

bool ParseTiltNatural(const std::string& v, Options& o, std::string& error)
{
    if (v != "portrait" && v != "landscape") {
        error = "--tilt-natural wants portrait or landscape, not '" + v + "'";
        return false;
    }
    o.tiltNatural = v == "landscape" ? iio::Natural::Landscape : iio::Natural::Portrait;
    return true;
}

int ShowHelp()
{
    std::fputs(HelpText().c_str(), stdout);
    return 0;
}

int ShowVersion()
{
    std::printf("veltora %s\n", Version());
    return 0;
}

// In the order --help lists them.
const Option kOptions[] = {
    {"--headless", nullptr, nullptr, "run with no window, on a simulated clock", Switch(&Options::headless)},
    {"--seconds", nullptr, "N",
     "how long a headless run lasts, in simulated seconds (default 10);\n"
     "a window runs until you quit",
     Parsed(ParseSeconds)},
    {"--real-time", nullptr, nullptr, "run headless at the pace of the wall clock instead", Switch(&Options::realTime)},
    {"--screenshot", nullptr, "FILE", "write the screen as a PNG file at the end of the run",
     Text(&Options::screenshot)},
    {"--shrink", nullptr, "N",
     "start the window N times smaller (default: a size that suits the\n"
     "desktop); it can be resized, keeping the phone's shape",
     Parsed(ParseShrink)},
    {"--fullscreen", nullptr, nullptr,
     "fill the display with the phone's screen, turned upright as the\n"
     "tilt sensor reads (with the keys: as they turn it); pixel for\n"
     "pixel on a display of the phone's size",
     Switch(&Options::fullscreen)},
    {"--camera", nullptr, "SOURCE",
     "what the camera sees: a picture (JPEG, PNG, GIF, BMP), a video file,\n"
     "a webcam (/dev/videoN) or a libcamera camera (libcamera for the\n"
     "first, libcamera:NAME); default: the built-in demo scene;\n"
     "demo:wedge, a wedge that opens, turns and moves, to follow (L);\n"
     "--camera list names the cameras found and exits",
     Text(&Options::camera)},
    {"--tilt", nullptr, "SOURCE",
     "what tilts the phone: keys (and script lines), auto (the first\n"
     "accelerometer found, else the keys) or an accelerometer's IIO\n"
     "folder (/sys/bus/iio/devices/iio:deviceN, or iio:deviceN);\n"
     "default: auto in the window, keys headless",
     Text(&Options::tilt)},
    {"--tilt-natural", nullptr, "WAY",
     "how the accelerometer's device is held upright: portrait\n"
     "(a phone, the default) or landscape (most tablets and 2-in-1s)",
     Parsed(ParseTiltNatural)},
    {"--save-to", nullptr, "DIR",
     "where S saves pictures in the window (default: Veltora in your\n"
     "pictures folder, made when needed)",
     Text(&Options::saveTo)},
    {"--app", nullptr, "PATH", "the application library (default: the one installed with veltora)",
     Text(&Options::app)},
    {"--res", nullptr, "DIR",
     "the application's resource folder (default: the one installed\n"
     "with veltora)",
     Text(&Options::res)},
    {"--log", nullptr, "FILE", "also append the log to FILE", Text(&Options::log)},
    {"--trace", nullptr, "FILE", "write what the application does as JSON lines (see README)", Text(&Options::trace)},
    {"--script", nullptr, "FILE",
     "run the commands in FILE (headless); the run ends with the script,\n"
     "plus --seconds if given",
     Text(&Options::scriptPath)},
    {"--version", nullptr, nullptr, "show the version and exit", Action(ShowVersion)},
    {"--help", "-h", nullptr, "show this help and exit", Action(ShowHelp)},
};

// Where the help of every option starts.
constexpr std::size_t kHelpColumn = 22;

const Option* Find(const std::string& arg)
{
    for (const Option& option : kOptions) {
        if (arg == option.name || (option.alias && arg == option.alias)) {
            return &option;
        }
    }
    return nullptr;
}

} // namespace

std::string HelpText()
{
    std::string text = "usage: veltora [options] [-- application arguments]\n"
                       "\n"
                       "Runs Veltora, the camera protractor, on a simulated phone: in a window, or with\n"
                       "--headless (or --script) without one.\n"
                       "\n"
                       "options:\n";
    for (const Option& option : kOptions) {
        std::string line =
            std::string("  ") + option.name + (option.argument ? std::string(" ") + option.argument : "");
        line.resize(std::max(line.size() + 1, kHelpColumn), ' ');
        for (const char* at = option.help; *at;) {
            const char* end = at;
            while (*end && *end != '\n') {
                end++;
            }
            text += line + std::string(at, end) + "\n";
            line.assign(kHelpColumn, ' ');
            at = *end ? end + 1 : end;
        }
    }
    text += "\nexit codes:\n"
            "  0                   the run ended and everything asked for was written\n"
            "  1                   a screenshot, the trace or the log could not be written\n"
            "  2                   bad use: nothing ran\n"
            "  3                   the window was taken away from outside\n"
            "  4                   a script's corner or edge read nothing (told, and refused in\n"
            "                      the trace), or its frame, pause or play could not be done\n"
            "                      (told); the script still ran to its end and every output\n"
            "                      was written\n"
            "  130, 143            ended by SIGINT or SIGTERM\n"
            "  other               the application's own failure\n";
    text += "\nscript commands (one a line):\n";
    text += headless::Script::Help();
    text += "\n";
    text += sdl::kKeyHelp;
    return text;
}

int ParseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--") {
            o.appArgs.assign(argv + i + 1, argv + argc);
            break;
        }
        const Option* option = Find(arg);
        if (!option) {
            return Fail("unknown option '" + arg + "' (see veltora --help)");
        }
        if (option->store.act) {
            return option->store.act();
        }
        if (option->store.flag) {
            o.*(option->store.flag) = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Fail("option " + arg + " needs a value (see veltora --help)");
        }
        const std::string value = argv[++i];
        // An empty name would silently mean "none" further on (for --camera, the demo scene).
        if (value.empty()) {
            return Fail("option " + arg + " needs a non-empty value");
        }
        if (option->store.text) {
            o.*(option->store.text) = value;
        } else if (std::string error; !option->store.parse(value, o, error)) {
            return Fail(error);
        }
    }
    return -1;
}

} // namespace launcher
