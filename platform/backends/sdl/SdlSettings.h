// What the window remembers between runs: its size and place and the picture it showed last,
// read when it opens and written when the run ends.
#pragma once

#include <memory>

#include "sdl/SdlHandles.h"
#include "sdl/WindowOptions.h"

namespace device {
class Device;
}

namespace sdl {

class DesktopWait;
class Pictures;
namespace detail {
struct Held;
}

class Settings {
public:
    // The window's handle is read when the settings are saved: the window opens after this is made.
    Settings(device::Device& device, const Options& options, const detail::Held& held, const DesktopWait& wait,
             const WindowHandle& window, Pictures& pictures);
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // Reads the file (a broken one is told and never written over).
    void LoadSettings();
    // The remembered size (when no shrink was asked for) and place, where there are some.
    void StartPlace(int& x, int& y, int& w, int& h) const;
    void ShowLastPicture();
    void SaveSettings();

private:
    device::Device& m_device;
    const Options& m_options;
    const detail::Held& m_held;
    const DesktopWait& m_wait;
    const WindowHandle& m_window;
    Pictures& m_pictures;

    // What was read from the settings file at the start, and whether it may be replaced.
    struct Remembered;
    std::shared_ptr<Remembered> m_remembered;
};

} // namespace sdl
