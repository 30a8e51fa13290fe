// E and C in the window: the device's finger lays a needle along the picture's edge under the
// mouse, or aims the corner under the mouse under the hub and lays both needles along it.
#include "sdl/SdlWindow.h"

#include "device/Device.h"
#include "edges/Finger.h"

#include <SDL.h>

namespace sdl {

void Window::LayAlongPicture(bool corner)
{
    // The camera's picture lies on the landscape screen; under a portrait form it is not shown.
    if (m_portraitForm) {
        return;
    }
    if (!m_pNeedles) {
        m_pNeedles = std::make_unique<edges::NeedleWatch>(m_device);
    }
    int wx = 0, wy = 0;
    SDL_GetMouseState(&wx, &wy);
    edges::Request request = edges::Ask(m_device, *m_pNeedles, WindowToScreen(wx + 0.5, wy + 0.5));
    // The window's aim is the one the camera is about to take.
    request.aim = m_aim;
    const edges::Plan plan = corner ? edges::PlanCorner(m_device, request) : edges::PlanEdge(m_device, request);
    if (!plan.notice.empty()) {
        // Told on the terminal, and in the title until what the title shows changes.
        m_device.Tell(__func__, __LINE__, plan.notice);
        SDL_SetWindowTitle(m_pWindow, ("Veltora - " + plan.notice).c_str());
        return;
    }
    edges::Carry(m_device, plan, [this](const device::Aim& aim) { SetAim(aim); });
}

} // namespace sdl
