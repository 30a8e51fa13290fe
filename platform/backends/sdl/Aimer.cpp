// The aimer: every change is gathered and sent to the camera once per batch of events.
#include "sdl/Aimer.h"

#include "device/Device.h"
#include "device/Holding.h"
#include "sdl/WindowParts.h"

namespace sdl {

using namespace detail;

device::FrameSize Aimer::CameraFrame() const { return device::TurnedFrame(kFrame, m_heldTurns); }

device::PointD Aimer::CameraPoint(device::PointD screenPoint) const
{
    return device::TurnPoint(screenPoint, kFrame, m_heldTurns);
}

void Aimer::PanBy(double viewDx, double viewDy)
{
    if (m_portraitForm) {
        return;
    }
    const device::FrameSize frame = CameraFrame();
    const device::FrameSize picture = m_device.Camera().PictureSize();
    const device::PointD centre{frame.width / 2.0, frame.height / 2.0};
    const device::PointD from = device::FrameToPicture(m_aim, picture, frame, centre);
    const device::PointD to = device::FrameToPicture(m_aim, picture, frame, {centre.x + viewDx, centre.y + viewDy});
    device::Aim aim = m_aim;
    aim.centerX += to.x - from.x;
    aim.centerY += to.y - from.y;
    Set(aim);
}

void Aimer::ZoomBy(double factor, std::optional<device::PointD> screenPoint)
{
    if (m_portraitForm) {
        return;
    }
    const device::FrameSize frame = CameraFrame();
    const device::PointD at =
        screenPoint ? CameraPoint(*screenPoint) : device::PointD{frame.width / 2.0, frame.height / 2.0};
    const device::FrameSize picture = m_device.Camera().PictureSize();
    const device::PointD p = device::FrameToPicture(m_aim, picture, frame, at);
    Set(device::AimPointAt(m_aim.zoom * factor, picture, frame, p, at));
}

void Aimer::ToggleWholePicture()
{
    if (m_portraitForm) {
        return;
    }
    // First the whole picture, letterboxed; again, the picture filling the screen.
    const double whole = device::WholePictureZoom(m_device.Camera().PictureSize(), CameraFrame());
    const bool showingWhole = m_wholePicture && m_aim == device::Aim{whole, 0.5, 0.5};
    m_wholePicture = !showingWhole;
    Set(device::Aim{m_wholePicture ? whole : 1.0, 0.5, 0.5});
}

bool Aimer::TurnPicture()
{
    if (m_portraitForm) {
        return false;
    }
    // An aim still on its way is over the picture as it stood; it goes first.
    Flush();
    m_pictureTurns = (m_pictureTurns + 1) % 4;
    m_device.PostPictureTurns(m_pictureTurns);
    // The camera turns the picture about the point at the centre, and so does this aim.
    const device::PointD c = device::TurnPoint({m_aim.centerX, m_aim.centerY}, {1, 1}, 1);
    m_aim = device::ClampAim({m_aim.zoom, c.x, c.y});
    m_wholePicture = false;
    return true;
}

void Aimer::AimUnderHub(device::PointD screenPoint)
{
    if (m_portraitForm) {
        return;
    }
    // Under the hub of the dial the phone shows, which [ and ] may have changed without
    // turning the view.
    const device::PointD hub = instrument::HubOf(m_layout.Shown());
    const device::FrameSize frame = CameraFrame();
    const device::FrameSize picture = m_device.Camera().PictureSize();
    const device::PointD p = device::FrameToPicture(m_aim, picture, frame, CameraPoint(screenPoint));
    Set(device::AimPointAt(m_aim.zoom, picture, frame, p, CameraPoint(hub)));
}

void Aimer::NewPicture()
{
    m_wholePicture = false;
    Set(device::Aim{});
    // Sent even when the aim was already straight: the new source starts from it.
    m_changed = true;
}

void Aimer::Set(device::Aim aim)
{
    aim = device::ClampAim(aim);
    if (aim == m_aim) {
        return;
    }
    m_aim = aim;
    m_changed = true;
}

void Aimer::Flush()
{
    if (m_changed) {
        m_changed = false;
        m_device.PostAim(m_aim);
    }
}

void Aimer::StartDrag(device::PointD windowPoint)
{
    m_dragging = true;
    m_dragFrom = windowPoint;
}

void Aimer::DragTo(device::PointD windowPoint, const std::function<device::PointD(device::PointD)>& toView)
{
    if (!m_dragging) {
        return;
    }
    // The picture follows the mouse, so the camera turns the other way.
    const device::PointD a = toView(m_dragFrom), b = toView(windowPoint);
    PanBy(a.x - b.x, a.y - b.y);
    m_dragFrom = windowPoint;
}

} // namespace sdl
