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

namespace {

// `home` and a path below it ("/Pictures", or nothing for the home itself), without the
// doubled slash a home of "/" would give.
std::string Below(const std::string& home, const std::string& tail)
{
    const size_t last = home.find_last_not_of('/');
    const std::string base = last == std::string::npos ? std::string() : home.substr(0, last + 1);
    return base.empty() && tail.empty() ? std::string("/") : base + tail;
}

// The value of an assignment as the shell that sources the file reads it: "..." with its
// backslash escapes, '...' as it stands, and bare characters, up to a blank; after it only
// blanks or a comment. False for anything the shell would do more with than assign.
bool ShellValue(const std::string& rest, std::string& value)
{
    value.clear();
    size_t i = 0;
    while (i < rest.size() && rest[i] != ' ' && rest[i] != '\t') {
        const char c = rest[i];
        if (c == '"') {
            bool closed = false;
            for (i++; i < rest.size(); i++) {
                if (rest[i] == '\\' && i + 1 < rest.size() && std::strchr("\\\"$`", rest[i + 1])) {
                    value += rest[++i];
                } else if (rest[i] == '"') {
                    closed = true;
                    break;
                } else {
                    value += rest[i];
                }
            }
            if (!closed) {
                return false;
            }
            i++;
        } else if (c == '\'') {
            const size_t close = rest.find('\'', i + 1);
            if (close == std::string::npos) {
                return false;
            }
            value += rest.substr(i + 1, close - i - 1);
            i = close + 1;
        } else if (c == '\\' && i + 1 < rest.size()) {
            value += rest[i + 1];
            i += 2;
        } else if (std::strchr(";&|<>()`", c)) {
            return false;
        } else {
            value += c;
            i++;
        }
    }
    const size_t after = rest.find_first_not_of(" \t", i);
    return after == std::string::npos || rest[after] == '#';
}

} // namespace

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
    return home.empty() ? std::string() : Below(home, "/.config");
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
        // xdg-user-dirs-update writes "$HOME/..." in double quotes; a hand-written file may
        // quote it singly, not at all, or write ${HOME}, which xdg-user-dir takes alike.
        std::string value;
        if (!ShellValue(line.substr(start + key.size()), value)) {
            continue;
        }
        bool fromHome = false;
        for (const char* form : {"$HOME", "${HOME}"}) {
            const std::string h = form;
            if (value.compare(0, h.size(), h) == 0 && (value.size() == h.size() || value[h.size()] == '/')) {
                value = Below(home, value.substr(h.size()));
                fromHome = true;
                break;
            }
        }
        if (!fromHome && (value.empty() || value[0] != '/')) {
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
    return dir.empty() ? Below(home, "/Pictures") : dir;
}

namespace {

// Whether `path` is a symbolic link to nothing; says so, with where it points, in `reason`.
bool Dangling(const std::string& path, std::string& reason)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || ::stat(path.c_str(), &st) == 0) {
        return false;
    }
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    reason = path + " is a dangling link" + (n > 0 ? " (to " + std::string(target, size_t(n)) + ")" : std::string());
    return true;
}

} // namespace

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
        if (Dangling(part, reason)) {
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
