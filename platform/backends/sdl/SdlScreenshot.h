// Screenshots from the window (S, Shift+S): what the user sees or the phone's own screen, as a
// new PNG; a shot that cannot be saved makes the run end as failed.
#pragma once

#include <memory>

#include "sdl/WindowOptions.h"

namespace device {
class Device;
}

namespace sdl {

class Presentation;
class Presenter;
namespace detail {
struct Held;
}

class Screenshots {
public:
    // The presenter is made after this: it is read through its handle.
    Screenshots(device::Device& device, const Options& options, const detail::Held& held,
                const std::unique_ptr<Presenter>& presenter, Presentation& presentation);
    Screenshots(const Screenshots&) = delete;
    Screenshots& operator=(const Screenshots&) = delete;

    // `asSeen`: the screen turned as the window shows it, with a notice; else the phone's own.
    void TakeScreenshot(bool asSeen);
    // Whether a screenshot the user asked for could not be saved.
    bool Failed() const { return m_screenshotFailed; }

private:
    device::Device& m_device;
    const Options& m_options;
    const detail::Held& m_held;
    const std::unique_ptr<Presenter>& m_presenter;
    Presentation& m_presentation;

    bool m_screenshotFailed = false;
};

} // namespace sdl
