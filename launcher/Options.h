// The launcher's command line: what each option stores, read from one table that also
// makes --help, so the two cannot drift apart.
#pragma once

#include <string>
#include <vector>

#include "iio/IioAccelerometer.h"

namespace launcher {

struct Options {
    bool headless = false;
    double seconds = 10.0;
    bool secondsGiven = false;
    bool realTime = false;
    int shrink = 0;
    bool fullscreen = false;
    std::string scriptPath;
    std::string camera;
    std::string tilt;
    iio::Natural tiltNatural = iio::Natural::Portrait;
    std::string screenshot;
    std::string app;
    std::string res;
    std::string log;
    std::string trace;
    std::string saveTo;
    std::vector<std::string> appArgs;
};

// Reads the command line into `o`. Returns -1 when the run is to go on, otherwise the exit
// code: 0 after --help or --version, 2 (with one line told) for bad use.
int ParseOptions(int argc, char** argv, Options& o);

// What --help prints.
std::string HelpText();

} // namespace launcher
