// What the program remembers between runs (the window's place, the last picture): a small
// text file of "key=value" lines, read leniently of what it does not know, written whole.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>

namespace outpath {

class Settings {
public:
    // Empty when the key is not set.
    std::string Get(const std::string& key) const;
    // False when the key is not set; sets `why` when it is, but not a whole number in [lo, hi].
    bool GetInt(const std::string& key, long lo, long hi, long& out, std::string& why) const;
    void Set(const std::string& key, const std::string& value);
    void SetInt(const std::string& key, long value) { Set(key, std::to_string(value)); }
    void Remove(const std::string& key)
    {
        m_values.erase(key);
        m_removed.insert(key);
    }
    bool operator==(const Settings& other) const { return m_values == other.m_values; }

    // The file's text: a comment, then one line a key in order. Values are escaped so
    // that any bytes (a file name with a newline) come back as they were.
    std::string Text() const;
    // The text to put in place of `previous` (the file as it is now; Text() when empty):
    // the user's comments, blank lines and whatever else is not a setting of ours stay as
    // they were, in their order; a key's line takes its value, a removed key's line goes,
    // and keys new to the file follow at its end.
    std::string TextOver(const std::string& previous) const;
    // False with "line N: why" for text that this program did not write.
    static bool Parse(const std::string& text, Settings& out, std::string& why);

private:
    // Keys this program does not know (from a newer one) are kept and written back.
    std::map<std::string, std::string> m_values;
    std::set<std::string> m_removed;
};

// The file of settings in CONFIG_HOME/veltora; empty when there is no home to put it in.
std::string SettingsPath();

struct SettingsLoad {
    // Whether a save may replace the file: not when it could not be read or kept aside.
    bool mayWrite = true;
    // One line for the user when the file was there but could not be used; empty otherwise.
    std::string message;
    // Where a broken file was kept.
    std::string keptAs;
};

// Reads the settings at `path` into `out` (left empty when there is none, or it is
// unusable). A file that is not settings, or whose values `check` refuses (false with a
// reason), is broken: it is renamed aside to PATH.broken (or .broken-2, ...; never over
// another file) and the defaults are used.
SettingsLoad LoadSettings(const std::string& path, Settings& out,
                          const std::function<bool(const Settings&, std::string& why)>& check = {});

// Writes the settings to `path` over what is there (TextOver): aside, then renamed over the
// old file, so a crash or a full disk leaves the old file or the new, never half of one.
// Through a symbolic link the file it names is replaced, beside itself. Makes the folder
// (0700) when it is missing. False with a reason.
bool SaveSettings(const std::string& path, const Settings& settings, std::string& reason);

} // namespace outpath
