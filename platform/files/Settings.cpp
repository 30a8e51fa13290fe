// Remembered settings: parsed strictly enough to tell a damaged file from ours, kept aside
// when damaged, and written atomically through a side file.
#include "files/Settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "files/BoundedFile.h"
#include "files/OutputPath.h"
#include "files/SideFile.h"
#include "files/UserDirs.h"

namespace outpath {

namespace {

// A settings file is small; anything larger is not ours.
constexpr size_t kMaxSize = 64 * 1024;

bool ValidKey(const std::string& key)
{
    if (key.empty() || key.size() > 64) {
        return false;
    }
    for (const char c : key) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.')) {
            return false;
        }
    }
    return true;
}

std::string Escape(const std::string& value)
{
    std::string out;
    for (const char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += ch;
        }
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool Unescape(const std::string& text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            i++;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

// A name or value for a message: its control bytes escaped, and cut short when long, so that
// a damaged file cannot fill the terminal.
std::string Quoted(const std::string& text)
{
    constexpr size_t kShown = 64;
    if (text.size() <= kShown) {
        return "'" + Escape(text) + "'";
    }
    return "'" + Escape(text.substr(0, kShown)) + "...' (" + std::to_string(text.size()) + " bytes)";
}

// Renames the file aside to PATH.broken, .broken-2, ... without replacing anything.
bool KeepAside(const std::string& path, std::string& keptAs, std::string& why)
{
    for (int n = 1; n <= 100; n++) {
        const std::string name = path + (n == 1 ? ".broken" : ".broken-" + std::to_string(n));
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) {
            keptAs = name;
            return true;
        }
        if (errno == EINVAL || errno == ENOSYS) {
            // A filesystem that cannot rename without replacing can still link without replacing.
            if (::link(path.c_str(), name.c_str()) == 0) {
                ::unlink(path.c_str());
                keptAs = name;
                return true;
            }
        }
        if (errno != EEXIST) {
            why = std::strerror(errno);
            return false;
        }
    }
    why = "its .broken names are all taken";
    return false;
}

} // namespace

std::string Settings::Get(const std::string& key) const
{
    const auto it = m_values.find(key);
    return it == m_values.end() ? std::string() : it->second;
}

bool Settings::GetInt(const std::string& key, long lo, long hi, long& out, std::string& why) const
{
    const auto it = m_values.find(key);
    if (it == m_values.end()) {
        return false;
    }
    const std::string& v = it->second;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end != '\0' || errno != 0 || n < lo || n > hi || std::isspace(static_cast<unsigned char>(v[0]))) {
        why =
            key + " is " + Quoted(v) + ", not a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
        return false;
    }
    out = n;
    return true;
}

void Settings::Set(const std::string& key, const std::string& value)
{
    m_values[key] = value;
    m_removed.erase(key);
}

std::string Settings::Text() const
{
    std::string text = "# Veltora remembers these between runs; its lines are rewritten whenever the window closes.\n";
    for (const auto& [key, value] : m_values) {
        if (ValidKey(key)) {
            text += key + "=" + Escape(value) + "\n";
        }
    }
    return text;
}

bool Settings::Parse(const std::string& text, Settings& out, std::string& why)
{
    out = Settings();
    if (text.size() > kMaxSize) {
        why = "larger than " + std::to_string(kMaxSize / 1024) + " KiB";
        return false;
    }
    // An editor may have begun the file with a byte-order mark and ended its lines with CRLF.
    const std::string bom = "\xEF\xBB\xBF";
    std::istringstream lines(text.compare(0, bom.size(), bom) == 0 ? text.substr(bom.size()) : text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        number++;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string at = "line " + std::to_string(number) + ": ";
        if (line.find('\0') != std::string::npos) {
            why = at + "a NUL byte";
            return false;
        }
        const size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#') {
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            why = at + "no '=' between a name and its value";
            return false;
        }
        const std::string key = line.substr(0, eq);
        if (!ValidKey(key)) {
            why = at + Quoted(key) + " is not a setting's name";
            return false;
        }
        std::string value;
        if (!Unescape(line.substr(eq + 1), value)) {
            why = at + "a backslash that starts no \\\\ or \\xHH";
            return false;
        }
        out.m_values[key] = value;
    }
    return true;
}

std::string Settings::TextOver(const std::string& previous) const
{
    if (previous.empty()) {
        return Text();
    }
    // Lines ended as the file's own are (an editor's CRLF stays CRLF).
    const char* newline = previous.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    std::string text;
    size_t at = 0;
    // A byte-order mark an editor put before the first line stays before it.
    if (previous.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = previous.substr(0, 3);
        at = 3;
    }
    std::set<std::string> written;
    while (at < previous.size()) {
        const size_t end = std::min(previous.find('\n', at), previous.size());
        const std::string line = previous.substr(at, end - at);
        at = end + 1;
        const bool crlf = !line.empty() && line.back() == '\r';
        const size_t eq = line.find('=');
        const std::string key = eq == std::string::npos ? std::string() : line.substr(0, eq);
        const auto value = m_values.find(key);
        if (!ValidKey(key) || (value == m_values.end() && !m_removed.count(key))) {
            // A comment, a blank line, or a line someone else wrote since the file was read
            // (its own line end kept: a CR is still in it).
            text += line + "\n";
            continue;
        }
        if (value != m_values.end() && written.insert(key).second) {
            text += key + "=" + Escape(value->second) + (crlf ? "\r\n" : "\n");
        }
    }
    for (const auto& [key, value] : m_values) {
        if (ValidKey(key) && !written.count(key)) {
            text += key + "=" + Escape(value) + newline;
        }
    }
    return text;
}

std::string SettingsPath()
{
    const std::string config = ConfigHome();
    return config.empty() ? std::string() : config + "/veltora/settings.conf";
}

SettingsLoad LoadSettings(const std::string& path, Settings& out,
                          const std::function<bool(const Settings&, std::string& why)>& check)
{
    SettingsLoad result;
    out = Settings();
    std::string text;
    std::string why;
    const ReadOutcome outcome = ReadBoundedFile(path, kMaxSize, text);
    const bool tooLarge = outcome.problem == ReadProblem::TooLarge;
    if (!outcome.Ok() && !tooLarge) {
        if (outcome.problem == ReadProblem::Missing && outcome.error == ENOENT) {
            return result; // the first run
        }
        // Something we cannot read, or a folder or device by its name: not ours to replace.
        result.mayWrite = false;
        result.message =
            "cannot read the settings file " + path + ": " +
            (outcome.problem == ReadProblem::Folder ? std::string(std::strerror(EISDIR)) : outcome.Reason()) +
            "; using the defaults, and nothing is remembered this time";
        return result;
    }
    Settings read;
    if (tooLarge) {
        why = "larger than " + std::to_string(kMaxSize / 1024) + " KiB";
    } else if (Settings::Parse(text, read, why) && (!check || check(read, why))) {
        out = std::move(read);
        return result;
    }
    std::string aside;
    if (KeepAside(path, result.keptAs, aside)) {
        result.message = "the settings file " + path + " is broken (" + why +
                         "); using the defaults (the file is kept as " + result.keptAs + ")";
    } else {
        result.mayWrite = false;
        result.message = "the settings file " + path + " is broken (" + why + ") and cannot be kept aside (" + aside +
                         "); using the defaults, and it is left as it is";
    }
    return result;
}

bool SaveSettings(const std::string& path, const Settings& settings, std::string& reason)
{
    auto fail = [&](const std::string& why) {
        reason = "cannot write the settings file " + path + ": " + why;
        return false;
    };
    std::string why;
    if (!MakeFolders(FolderOf(path), why, 0700)) {
        return fail(why);
    }
    // Only a regular file, or nothing, is replaced; through a symbolic link (settings kept
    // with the user's other dotfiles) the file it names is, keeping its mode.
    Target target;
    if (!Resolve(path, Kind::Replaced, target, why)) {
        return fail(why);
    }
    // What is there now, read through the link as the window closes: the user's own lines
    // (edited while the window was open, too) are kept. One that cannot be read again is
    // left alone rather than replaced without them.
    std::string previous;
    if (target.exists) {
        const ReadOutcome read = ReadBoundedFile(target.path, kMaxSize, previous);
        if (!read.Ok() && !(read.problem == ReadProblem::Missing && read.error == ENOENT)) {
            return fail("its other lines cannot be read to keep them (" + read.Reason() + "); it is left as it is");
        }
    }
    const std::string text = settings.TextOver(previous);
    SideFile side;
    if (!side.Open(target.path, 0600)) {
        return fail(std::strerror(errno));
    }
    if (target.exists && ::fchmod(side.Fd(), target.mode & 07777) != 0) {
        return fail(std::strerror(errno));
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(side.Fd(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return fail(n < 0 ? std::strerror(errno) : "nothing was written");
        }
        done += static_cast<size_t>(n);
    }
    if (!side.Replace(target.path)) {
        return fail(std::strerror(errno));
    }
    return true;
}

} // namespace outpath
