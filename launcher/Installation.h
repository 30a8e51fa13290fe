// Where the launcher finds what it loads, in the build folder and once installed, and the
// checks of the options that concern the desktop (--save-to, --version).
#pragma once

#include <string>

namespace launcher {

struct Layout {
    std::string app; // the application library
    std::string res; // its images
};

// For a veltora program in `exeDir`: the library beside it (the build folder), else where
// the install put it relative to the program (so an installed tree can be moved whole).
Layout FindLayout(const std::string& exeDir);

// The version, as --version prints it.
const char* Version();

// False with a reason unless `folder` is a folder S can write into.
bool CheckSaveFolder(const std::string& folder, std::string& reason);

} // namespace launcher
