// E and C in the window: the device's finger lays a needle along the picture's edge under the
// mouse, or aims the corner under the mouse under the hub and lays both needles along it.
#include "sdl/EdgeSearch.h"

#include <system_error>

#include "device/Device.h"
#include "sdl/Aimer.h"
#include "sdl/SdlFinger.h"
#include "sdl/SdlPresent.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

EdgeSearch::EdgeSearch(device::Device& device, const detail::Held& held, const Finger& finger, Aimer& aimer,
                       Presentation& presentation, const WindowHandle& window)
    : m_device(device), m_held(held), m_finger(finger), m_aimer(aimer), m_presentation(presentation), m_window(window),
      m_needles(device)
{
}

EdgeSearch::~EdgeSearch()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void EdgeSearch::Start(device::PointD screenPoint, bool fingerDown, const device::Aim& aim, bool corner)
{
    if (m_searching) {
        return;
    }
    edges::Request request = edges::Ask(m_device, m_needles, screenPoint);
    request.fingerDown = request.fingerDown || fingerDown;
    request.aim = aim;
    // The part of the picture is cut here, while the camera lends it; the search runs on a
    // thread of its own and the plan comes back to the event thread.
    auto pending = std::make_shared<edges::Pending>(
        edges::Prepare(m_device, request, corner ? edges::Find::Corner : edges::Find::Edge));
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_searching = true;
    device::Device* dev = &m_device;
    std::weak_ptr<bool> alive = m_alive;
    try {
        m_thread = std::thread([this, dev, pending, alive] {
            edges::Plan plan = edges::Finish(*pending);
            dev->Loop().Post([this, alive, plan = std::move(plan)] {
                if (alive.lock()) {
                    Carry(plan);
                }
            });
        });
    } catch (const std::system_error&) {
        // No thread to be had: search here, the window waiting for it.
        Carry(edges::Finish(*pending));
    }
}

void EdgeSearch::Carry(const edges::Plan& plan)
{
    m_searching = false;
    CarryPlan(plan);
}

void EdgeSearch::LayAlongPicture(bool corner)
{
    // The camera's picture lies on the landscape screen; under a portrait form it is not shown.
    if (m_held.portraitForm || Searching()) {
        return;
    }
    int wx = 0, wy = 0;
    SDL_GetMouseState(&wx, &wy);
    // The window's aim is the one the camera is about to take.
    Start(m_presentation.WindowToScreen(wx + 0.5, wy + 0.5), m_finger.Down(), m_aimer.Aim(), corner);
}

void EdgeSearch::CarryPlan(const edges::Plan& plan)
{
    // The user's finger came down while the search ran: it has the screen.
    const std::string notice = m_finger.Down() && plan.notice.empty() ? "a finger is on the screen: lift it first" : plan.notice;
    if (!notice.empty()) {
        // Told on the terminal, and in the title until what the title shows changes.
        detail::Say(m_device, notice);
        SDL_SetWindowTitle(m_window.get(), ("Veltora - " + notice).c_str());
        return;
    }
    // A notice left in the title goes.
    m_presentation.ForgetTitle();
    // The aim goes to the camera now, before the touches: nothing else may come to send it.
    edges::Carry(m_device, plan, [this](const device::Aim& aim) {
        m_aimer.Set(aim);
        m_aimer.Flush();
    });
}

} // namespace sdl
