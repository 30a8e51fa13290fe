// Aiming the camera from the window: dragging the picture with the right button, the arrow
// keys, the wheel about the mouse, the whole picture, and a picture point brought under the
// dial's hub. The arithmetic is the device's, so scripts aim exactly alike.
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <cmath>

#include "device/Device.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

namespace {

device::PointD Add(device::PointD a, device::PointD b) { return {a.x + b.x, a.y + b.y}; }

} // namespace

// The camera's picture is aimed as the user sees it: upright in the view, so its frame is
// the landscape screen turned as the phone is held.
device::FrameSize Window::CameraFrame() const
{
    return device::TurnedFrame(kFrame, m_heldTurns);
}

device::PointD Window::CameraPoint(device::PointD screenPoint) const
{
    return device::TurnPoint(screenPoint, kFrame, m_heldTurns);
}

void Window::PanBy(double viewDx, double viewDy)
{
    // The camera's picture lies on the landscape screen; with a portrait form up it is not
    // on show, and aiming blind would only surprise the user later.
    if (m_portraitForm) {
        return;
    }
    const device::FrameSize frame = CameraFrame();
    const device::FrameSize picture = m_device.Camera().PictureSize();
    const device::PointD centre{frame.width / 2.0, frame.height / 2.0};
    const device::PointD from = device::FrameToPicture(m_aim, picture, frame, centre);
    const device::PointD to = device::FrameToPicture(m_aim, picture, frame, Add(centre, {viewDx, viewDy}));
    device::Aim aim = m_aim;
    aim.centerX += to.x - from.x;
    aim.centerY += to.y - from.y;
    SetAim(aim);
}

void Window::ZoomBy(double factor, const Point* windowPoint)
{
    if (m_portraitForm) {
        return;
    }
    // The picture point under the mouse (or at the screen's centre) stays where it is.
    const device::FrameSize frame = CameraFrame();
    const device::PointD at = windowPoint ? CameraPoint(WindowToScreen(windowPoint->x + 0.5, windowPoint->y + 0.5))
                                          : device::PointD{frame.width / 2.0, frame.height / 2.0};
    const device::FrameSize picture = m_device.Camera().PictureSize();
    const device::PointD p = device::FrameToPicture(m_aim, picture, frame, at);
    SetAim(device::AimPointAt(m_aim.zoom * factor, picture, frame, p, at));
}

void Window::ToggleWholePicture()
{
    if (m_portraitForm) {
        return;
    }
    // First the whole picture, letterboxed; again, the picture filling the screen.
    const double whole = device::WholePictureZoom(m_device.Camera().PictureSize(), CameraFrame());
    const bool showingWhole = m_wholePicture && m_aim == device::Aim{whole, 0.5, 0.5};
    m_wholePicture = !showingWhole;
    SetAim(device::Aim{m_wholePicture ? whole : 1.0, 0.5, 0.5});
}

void Window::TurnPicture()
{
    if (m_portraitForm) {
        return;
    }
    // An aim still on its way is over the picture as it stood; it goes first.
    FlushInput();
    m_pictureTurns = (m_pictureTurns + 1) % 4;
    m_device.PostPictureTurns(m_pictureTurns);
    // The camera turns the picture about the point at the centre, and so does this aim.
    const device::PointD c = device::TurnPoint({m_aim.centerX, m_aim.centerY}, {1, 1}, 1);
    m_aim = device::ClampAim({m_aim.zoom, c.x, c.y});
    m_wholePicture = false;
    m_mustPresent = true;
}

void Window::AimUnderHub(int wx, int wy)
{
    if (m_portraitForm) {
        return;
    }
    // Under the hub of the dial the phone shows, which [ and ] may have changed without
    // turning the view.
    const device::PointD hub = device::HubOf(m_device.Tilt().ShownDial());
    const device::FrameSize frame = CameraFrame();
    const device::FrameSize picture = m_device.Camera().PictureSize();
    const device::PointD p = device::FrameToPicture(m_aim, picture, frame, CameraPoint(WindowToScreen(wx + 0.5, wy + 0.5)));
    SetAim(device::AimPointAt(m_aim.zoom, picture, frame, p, CameraPoint(hub)));
}

void Window::SetAim(device::Aim aim)
{
    aim = device::ClampAim(aim);
    if (aim == m_aim) {
        return;
    }
    m_aim = aim;
    m_aimChanged = true;
}

} // namespace sdl
