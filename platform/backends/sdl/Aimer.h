// Aiming the camera over its picture from the window: the arrows and a right drag move it,
// the wheel and + - zoom about a point, 0 shows the whole picture, R turns it, and the middle
// button brings a picture point under the hub of the dial shown. The arithmetic is the
// device's, so scripts aim exactly alike.
#pragma once

#include <functional>
#include <optional>

#include "device/Aiming.h"
#include "device/CameraSource.h"
#include "instrument/LayoutShown.h"

namespace device {
class Device;
}

namespace sdl {

class Aimer {
public:
    Aimer(device::Device& device, const instrument::LayoutShown& layout) : m_device(device), m_layout(layout) {}

    // How the phone is held (the camera's frame turns with it), and whether a portrait form
    // is up: the camera's picture is not on show then, and aiming blind would only surprise
    // the user later.
    void Hold(int heldTurns, bool portraitForm)
    {
        m_heldTurns = heldTurns;
        m_portraitForm = portraitForm;
    }

    void PanBy(double viewDx, double viewDy);
    // About a screen point (none: the screen's centre), which stays where it is.
    void ZoomBy(double factor, std::optional<device::PointD> screenPoint);
    void ToggleWholePicture();
    // False when nothing turned.
    bool TurnPicture();
    void AimUnderHub(device::PointD screenPoint);
    // A new picture: aimed afresh, straight at it.
    void NewPicture();
    void Set(device::Aim aim);
    // Sends an aim still gathered.
    void Flush();

    // The right button's drag between window points, which `toView` maps into the view as
    // it is at each step: the picture follows the mouse.
    void StartDrag(device::PointD windowPoint);
    void DragTo(device::PointD windowPoint, const std::function<device::PointD(device::PointD)>& toView);
    void StopDrag() { m_dragging = false; }
    bool Dragging() const { return m_dragging; }

    const device::Aim& Aim() const { return m_aim; }
    int PictureTurns() const { return m_pictureTurns; }
    // The camera's frame as the user sees it (upright in the view) and a screen point on it.
    device::FrameSize CameraFrame() const;
    device::PointD CameraPoint(device::PointD screenPoint) const;

private:
    device::Device& m_device;
    const instrument::LayoutShown& m_layout;
    int m_heldTurns = 0;
    bool m_portraitForm = false;
    device::Aim m_aim;
    bool m_changed = false;
    bool m_wholePicture = false;
    // R turns the picture in quarter turns, as if the object were turned in front of the
    // phone; a new picture keeps the turn.
    int m_pictureTurns = 0;
    bool m_dragging = false;
    device::PointD m_dragFrom;
};

} // namespace sdl
