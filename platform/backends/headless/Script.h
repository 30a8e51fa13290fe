// Scripts for the headless device: one command a line (touches, drags, presses, the
// phone's pitch, waits in simulated time, background and foreground, screenshots).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace device {
class Device;
}

namespace headless {

struct Command {
    enum class Kind {
        Down,
        Move,
        Up,
        Drag,
        Press,
        Pitch,
        Wait,
        Background,
        Foreground,
        Screenshot,
        Aim,
        Edge,
        Corner,
        Frame,
        Pause,
        Play,
        Follow
    };
    Kind kind;
    int line = 0;
    std::vector<double> numbers;
    std::string text; // the screenshot's file; "on" or "off" for follow
};

class Script {
public:
    // A script is a person's or a program's list of steps; anything bigger is a mistake
    // (a device such as /dev/zero, a log given by accident).
    static constexpr size_t kMaxBytes = 1024 * 1024;
    static constexpr int kMaxLines = 100000;

    // Reads and checks the whole script first; on a bad line returns false with
    // "FILE:LINE: what is wrong", and nothing is run.
    static bool Load(const std::string& path, Script& out, std::string& error);
    static bool Parse(const std::string& text, const std::string& name, Script& out, std::string& error);

    // How a run went: every command is tried, whatever failed before it.
    struct Outcome {
        bool written = true; // every screenshot was written
        int unread = 0; // `corner` and `edge` lines that read nothing
        int unplayed = 0; // `frame`, `pause` and `play` lines the camera could not carry out
    };

    // Runs the commands on the device's event thread, in order; time passes in waits, and
    // while a `corner` or `edge` waits for the screen to show the needles laid (as a person
    // would look before going on). A screenshot that cannot be written, and a corner or an
    // edge that reads nothing, are reported (and recorded in the trace) and the run goes on.
    Outcome Run(device::Device& device, const std::function<void(const std::string&)>& report) const;

    const std::vector<Command>& Commands() const { return m_commands; }

    // The commands, for --help and the README.
    static const char* Help();

private:
    std::string m_name;
    std::vector<Command> m_commands;
};

} // namespace headless
