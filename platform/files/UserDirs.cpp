// The XDG folders: read from the environment and the user-dirs file the desktop keeps,
// never by running a program, so the answer is the same in a test and in a session.
#include "files/UserDirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace outpath {

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && *pw->pw_dir) {
        return pw->pw_dir;
    }
    return {};
}

std::string ConfigHome()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        return config;
    }
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

std::string UserDirFromText(const std::string& text, const std::string& name, const std::string& home)
{
    const std::string key = "XDG_" + name + "_DIR=";
    std::istringstream lines(text);
    std::string found;
    for (std::string line; std::getline(lines, line);) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0) {
            continue;
        }
        // Only "..." quoting, with backslash escapes, as xdg-user-dirs-update writes it.
        const std::string rest = line.substr(start + key.size());
        if (rest.size() < 2 || rest[0] != '"') {
            continue;
        }
        std::string value;
        bool closed = false;
        size_t i = 1;
        for (; i < rest.size(); i++) {
            if (rest[i] == '\\' && i + 1 < rest.size()) {
                value += rest[++i];
            } else if (rest[i] == '"') {
                closed = true;
                break;
            } else {
                value += rest[i];
            }
        }
        if (!closed || rest.find_first_not_of(" \t", i + 1) != std::string::npos) {
            continue;
        }
        if (value == "$HOME" || value.rfind("$HOME/", 0) == 0) {
            value = home + value.substr(5);
        } else if (value.empty() || value[0] != '/') {
            continue;
        }
        // The last setting wins, as the shell that sources the file would have it.
        found = value;
    }
    while (found.size() > 1 && found.back() == '/') {
        found.pop_back();
    }
    return found;
}

std::string PicturesFolder()
{
    const std::string home = HomeFolder();
    if (home.empty()) {
        return {};
    }
    std::string dir;
    if (const std::string config = ConfigHome(); !config.empty()) {
        std::ifstream in(config + "/user-dirs.dirs");
        std::ostringstream text;
        text << in.rdbuf();
        dir = UserDirFromText(text.str(), "PICTURES", home);
    }
    return dir.empty() ? home + "/Pictures" : dir;
}

bool MakeFolders(const std::string& folder, std::string& reason, unsigned mode)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return true;
        }
        reason = folder + " is not a folder";
        return false;
    }
    // Each missing folder from the top down; one made meanwhile by someone else is fine.
    for (size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
            reason = "cannot make the folder " + part + ": " + std::strerror(errno);
            return false;
        }
        if (at == std::string::npos) {
            break;
        }
    }
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        reason = folder + " is not a folder";
        return false;
    }
    return true;
}

} // namespace outpath
