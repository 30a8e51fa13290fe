// Runs the veltora program as a user would and collects what it printed and its exit code.
#pragma once

#include <string>

namespace testing_support {

struct Outcome {
    int code = -1;
    std::string out; // stdout and stderr together
};

Outcome RunVeltora(const std::string& args);
// How many lines a text holds (its newline characters).
int Lines(const std::string& text);
// A path in this process's own scratch folder.
std::string Temp(const std::string& name);

} // namespace testing_support
