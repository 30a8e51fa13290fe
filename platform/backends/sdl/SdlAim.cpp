// Aiming the camera from the window: dragging the picture with the right button, the
// arrow keys and the wheel, kept within the picture and the zoom's range.
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device/Device.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

void Window::PanBy(double viewDx, double viewDy)
{
    // The camera's picture lies on the landscape screen; with a portrait form up it is not
    // on show, and aiming blind would only surprise the user later.
    if (m_portraitForm) {
        return;
    }
    // A step seen in the window is a step on the screen turned back.
    double dx = viewDx, dy = viewDy;
    switch (m_turns) {
    case 1: dx = viewDy; dy = -viewDx; break;
    case 2: dx = -viewDx; dy = -viewDy; break;
    case 3: dx = -viewDy; dy = viewDx; break;
    default: break;
    }
    device::Aim aim = m_aim;
    aim.centerX += dx / (kPictureWidth * aim.zoom);
    aim.centerY += dy / (kPictureHeight * aim.zoom);
    SetAim(aim);
}

void Window::ZoomBy(double factor, const Point* windowPoint)
{
    if (m_portraitForm) {
        return;
    }
    device::Aim aim = m_aim;
    aim.zoom = std::clamp(m_aim.zoom * factor, kMinZoom, kMaxZoom);
    if (windowPoint) {
        // The point of the picture under the mouse stays under it.
        const Point s = WindowToScreen(windowPoint->x, windowPoint->y);
        const double offX = (s.x + 0.5 - kPictureWidth / 2) / kPictureWidth;
        const double offY = (s.y + 0.5 - kPictureHeight / 2) / kPictureHeight;
        aim.centerX = m_aim.centerX + offX / m_aim.zoom - offX / aim.zoom;
        aim.centerY = m_aim.centerY + offY / m_aim.zoom - offY / aim.zoom;
    }
    SetAim(aim);
}

void Window::SetAim(device::Aim aim)
{
    aim.zoom = std::clamp(aim.zoom, kMinZoom, kMaxZoom);
    // Any point of the picture can be brought to the middle, so a corner near a photo's
    // edge can still be put under the dial's hub (what lies past the edge shows black);
    // beyond that no distance piles up that the user would have to pan back first.
    aim.centerX = std::clamp(aim.centerX, 0.0, 1.0);
    aim.centerY = std::clamp(aim.centerY, 0.0, 1.0);
    if (aim == m_aim) {
        return;
    }
    m_aim = aim;
    m_aimChanged = true;
}

} // namespace sdl
