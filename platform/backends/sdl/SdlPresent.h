// When the window draws and in what shape: the view follows the phone as it is held and the
// form (portrait or landscape), the window keeps its scale as the view turns, and the title
// tells what is shown. The presenter does the drawing.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "device/Aiming.h"
#include "sdl/SdlHandles.h"
#include "sdl/WindowOptions.h"

namespace device {
class Device;
}
namespace instrument {
class LayoutShown;
}

namespace sdl {

class Aimer;
class Finger;
class Pictures;
class Presenter;
namespace detail {
struct Held;
struct ViewShape;
} // namespace detail

class Presentation {
public:
    // The window and its presenter are made after this: they are read through their handles.
    Presentation(device::Device& device, const Options& options, detail::Held& held, const WindowHandle& window,
                 const std::unique_ptr<Presenter>& presenter, const Finger& finger, Aimer& aimer,
                 const instrument::LayoutShown& layoutShown, const Pictures& pictures);
    Presentation(const Presentation&) = delete;
    Presentation& operator=(const Presentation&) = delete;

    // At each wait: follows the sensor and the form, and draws when something changed.
    void Refresh();
    // Something shown changed (`changed`) and must be drawn again.
    void MustPresent(bool changed = true) { m_mustPresent = changed || m_mustPresent; }
    // The view took another shape: the window follows it at the same scale.
    void FitWindowToView(int oldViewW, int oldViewH);
    void UpdateTitle();
    // A notice left in the title goes at the next update.
    void ForgetTitle();

    // How the screen is placed in the window now (the view's geometry asks SDL nothing).
    detail::ViewShape View() const;
    // A window point (in the window's own units) as a continuous point of the screen.
    device::PointD WindowToScreen(double wx, double wy) const;

private:
    void Present();
    void FollowSensor();

    device::Device& m_device;
    const Options& m_options;
    detail::Held& m_held;
    const WindowHandle& m_window;
    const std::unique_ptr<Presenter>& m_presenter;
    const Finger& m_finger;
    Aimer& m_aimer;
    const instrument::LayoutShown& m_layoutShown;
    const Pictures& m_pictures;

    bool m_mustPresent = true;

    std::string m_title;
    // What the title was last made from.
    struct TitleState {
        std::string picture;
        float pitch = 0;
        double zoom = 1;
        int pictureTurns = 0;
        bool background = false;
        bool operator==(const TitleState&) const = default;
    };
    std::optional<TitleState> m_titleState;
};

} // namespace sdl
