// What the window remembers between runs: its size and place and the picture it showed
// last, read when it opens and written when the run ends.
#include "sdl/SdlSettings.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "files/Settings.h"
#include "sdl/DesktopWait.h"
#include "sdl/SdlPictures.h"
#include "sdl/WindowParts.h"
#include "sdl/WindowPlace.h"
#include "text/Printable.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

namespace {

constexpr long kMaxCoordinate = 1000000;

// Values this window would never have written make the file broken, as a bad line does.
bool CheckSettings(const outpath::Settings& s, std::string& why)
{
    long v = 0;
    for (const char* key : {"window-x", "window-y"}) {
        if (!s.GetInt(key, -kMaxCoordinate, kMaxCoordinate, v, why) && !why.empty()) {
            return false;
        }
    }
    for (const char* key : {"window-width", "window-height"}) {
        if (!s.GetInt(key, 1, kMaxCoordinate, v, why) && !why.empty()) {
            return false;
        }
    }
    const std::string picture = s.Get("picture");
    if (!picture.empty() && picture[0] != '/') {
        why = "picture is '" + picture + "', not an absolute path";
        return false;
    }
    return true;
}

} // namespace

Settings::Settings(device::Device& device, const Options& options, const Held& held, const DesktopWait& wait,
                   const WindowHandle& window, Pictures& pictures)
    : m_device(device), m_options(options), m_held(held), m_wait(wait), m_window(window), m_pictures(pictures)
{}

struct Settings::Remembered {
    outpath::Settings settings;
    bool mayWrite = false;
};

void Settings::LoadSettings()
{
    m_remembered = std::make_shared<Remembered>();
    if (m_options.settingsFile.empty()) {
        return;
    }
    const outpath::SettingsLoad load =
        outpath::LoadSettings(m_options.settingsFile, m_remembered->settings, CheckSettings);
    if (!load.message.empty()) {
        Say(m_device, load.message);
    }
    m_remembered->mayWrite = load.mayWrite;
}

void Settings::StartPlace(int& x, int& y, int& w, int& h) const
{
    const outpath::Settings& s = m_remembered->settings;
    std::string why;
    long rw = 0, rh = 0, rx = 0, ry = 0;
    const bool hasSize =
        s.GetInt("window-width", 1, kMaxCoordinate, rw, why) && s.GetInt("window-height", 1, kMaxCoordinate, rh, why);
    const bool hasPosition = s.GetInt("window-x", -kMaxCoordinate, kMaxCoordinate, rx, why) &&
                             s.GetInt("window-y", -kMaxCoordinate, kMaxCoordinate, ry, why);
    // The size is kept as if the view were landscape: the phone may start held the other way.
    if (hasSize && m_held.heldTurns % 2 == 1) {
        std::swap(rw, rh);
    }
    std::vector<Area> usable;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); i++) {
        SDL_Rect r;
        if (SDL_GetDisplayUsableBounds(i, &r) == 0) {
            usable.push_back({r.x, r.y, r.w, r.h});
        }
    }
    const Place p = RememberedPlace(static_cast<int>(rx), static_cast<int>(ry), hasSize ? static_cast<int>(rw) : w,
                                    hasSize ? static_cast<int>(rh) : h, hasPosition, usable);
    // A size asked for on the command line wins over the remembered one.
    if (hasSize && m_options.shrink == 0) {
        w = p.w;
        h = p.h;
    }
    if (!p.centred) {
        x = p.x;
        y = p.y;
    }
}

void Settings::ShowLastPicture()
{
    const std::string picture = m_remembered->settings.Get("picture");
    if (!m_options.showLastPicture || picture.empty()) {
        return;
    }
    struct stat shown {};
    for (const std::string& output : m_options.outputs) {
        struct stat st {};
        if (!output.empty() && ::stat(picture.c_str(), &shown) == 0 && ::stat(output.c_str(), &st) == 0 &&
            st.st_dev == shown.st_dev && st.st_ino == shown.st_ino) {
            Say(m_device, "not showing the last picture " + picture + ": this run writes " + output);
            return;
        }
    }
    m_pictures.OpenPicture(picture);
}

void Settings::SaveSettings()
{
    // A window that never opened has nothing to remember.
    if (!m_remembered || !m_remembered->mayWrite || !m_window) {
        return;
    }
    outpath::Settings& s = m_remembered->settings;
    // Full screen, or with the window gone, there is no window's place to keep.
    if (!m_options.fullscreen && !m_wait.Lost()) {
        int w = 0, h = 0, x = 0, y = 0;
        SDL_GetWindowSize(m_window.get(), &w, &h);
        SDL_GetWindowPosition(m_window.get(), &x, &y);
        if (m_held.ViewWidth() < m_held.ViewHeight()) {
            std::swap(w, h);
        }
        if (w > 0 && h > 0) {
            s.SetInt("window-width", w);
            s.SetInt("window-height", h);
            // A Wayland compositor tells no client where its window is (SDL says 0,0): the
            // place remembered from a desktop that does is kept.
            const char* driver = SDL_GetCurrentVideoDriver();
            if (!driver || std::strcmp(driver, "wayland") != 0) {
                s.SetInt("window-x", x);
                s.SetInt("window-y", y);
            }
        }
    }
    // Remembered by its full name: the next run may start in another folder.
    std::error_code ec;
    const std::filesystem::path picture =
        m_pictures.Current().empty() ? std::filesystem::path() : std::filesystem::absolute(m_pictures.Current(), ec);
    if (picture.empty() || ec) {
        s.Remove("picture");
    } else {
        s.Set("picture", picture.lexically_normal().string());
    }
    std::string reason;
    if (!outpath::SaveSettings(m_options.settingsFile, s, reason)) {
        Say(m_device, reason);
    }
}

} // namespace sdl
