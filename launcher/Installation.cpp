// The install's layout is fixed when it is configured (GNUInstallDirs) and kept relative to
// the program, so the launcher never looks in the folder it was built or configured in.
#include "Installation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#ifndef VELTORA_VERSION
#error "VELTORA_VERSION is set by the build"
#endif

namespace launcher {

Layout FindLayout(const std::string& exeDir)
{
    const std::string beside = exeDir + "/libVeltora.so";
    if (::access(beside.c_str(), F_OK) == 0) {
        return {beside, exeDir + "/Res"};
    }
    return {exeDir + "/" VELTORA_INSTALLED_APP, exeDir + "/" VELTORA_INSTALLED_RES};
}

const char* Version() { return VELTORA_VERSION; }

bool CheckSaveFolder(const std::string& folder, std::string& reason)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        reason = "--save-to " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        reason = "--save-to " + folder + " is not a folder";
        return false;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        reason = "--save-to " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace launcher
