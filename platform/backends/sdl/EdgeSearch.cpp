// E and C in the window: the device's finger lays a needle along the picture's edge under the
// mouse, or aims the corner under the mouse under the hub and lays both needles along it.
#include "sdl/EdgeSearch.h"

#include <system_error>

#include "device/Device.h"
#include "sdl/Aimer.h"
#include "sdl/Presenter.h"
#include "sdl/SdlFinger.h"
#include "sdl/SdlPresent.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

EdgeSearch::EdgeSearch(device::Device& device, const detail::Held& held, const Finger& finger, Aimer& aimer,
                       Presentation& presentation, const WindowHandle& window,
                       const std::unique_ptr<Presenter>& presenter)
    : m_device(device),
      m_held(held),
      m_finger(finger),
      m_aimer(aimer),
      m_presentation(presentation),
      m_window(window),
      m_presenter(presenter),
      m_needles(device),
      m_follower(device, m_needles, instrument::Follower::Run::Beside,
                 {[this](const device::Aim& aim) {
                      m_aimer.Set(aim);
                      m_aimer.Flush();
                  },
                  [this](const std::string& line) {
                      Say(m_device, line);
                      if (m_presenter) {
                          m_presenter->ShowNotice(line, kRefusalNotice, true);
                      }
                      m_presentation.MustPresent(true);
                  },
                  [this](const instrument::Reading& reading, const instrument::Plan& plan, std::int64_t) {
                      // Each picture's reading in the title, the fitted lines over the picture.
                      SDL_SetWindowTitle(m_window.get(),
                                         ("Veltora - following " + instrument::Words(reading, true)).c_str());
                      if (m_presenter) {
                          m_presenter->ShowFitted(plan.fitted);
                      }
                      m_presentation.MustPresent(true);
                  }})
{}

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
    instrument::Request request = instrument::Ask(m_device, m_needles, screenPoint);
    request.fingerDown = request.fingerDown || fingerDown;
    request.aim = aim;
    // The part of the picture is cut here, while the camera lends it; the search runs on a
    // thread of its own and the plan comes back to the event thread.
    auto pending = std::make_shared<instrument::Pending>(
        instrument::Prepare(m_device, request, corner ? instrument::Find::Corner : instrument::Find::Edge));
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_searching = true;
    device::Device* dev = &m_device;
    std::weak_ptr<bool> alive = m_alive;
    instrument::Reading asked;
    asked.find = pending->find;
    asked.screen = screenPoint;
    try {
        m_thread = std::thread([this, dev, pending, alive, asked] {
            instrument::Plan plan = instrument::Finish(*pending);
            dev->Loop().Post([this, alive, asked, plan = std::move(plan)] {
                if (alive.lock()) {
                    Carry(plan, asked);
                }
            });
        });
    } catch (const std::system_error&) {
        // No thread to be had: search here, the window waiting for it.
        Carry(instrument::Finish(*pending), asked);
    }
}

void EdgeSearch::Carry(const instrument::Plan& plan, const instrument::Reading& asked)
{
    m_searching = false;
    CarryPlan(plan, asked);
}

void EdgeSearch::AfterTouches(std::function<void(const std::string& shownAngle)> then)
{
    // Touches are delivered in the order they were posted: this comes after them.
    std::weak_ptr<bool> alive = m_alive;
    m_device.Loop().Post([this, alive, then = std::move(then)] {
        if (alive.lock()) {
            then(instrument::ShownAngle(m_needles));
        }
    });
}

void EdgeSearch::LayAlongPicture(bool corner)
{
    // The camera's picture lies on the landscape screen; under a portrait form it is not shown.
    if (m_held.portraitForm || Searching()) {
        return;
    }
    m_follower.Stop(corner ? "C was pressed" : "E was pressed");
    m_lastCorner = {};
    int wx = 0, wy = 0;
    SDL_GetMouseState(&wx, &wy);
    // The window's aim is the one the camera is about to take.
    Start(m_presentation.WindowToScreen(wx + 0.5, wy + 0.5), m_finger.Down(), m_aimer.Aim(), corner);
}

void EdgeSearch::CarryPlan(const instrument::Plan& plan, instrument::Reading reading)
{
    reading.frame = plan.frame;
    // The user's finger came down while the search ran: it has the screen.
    // A reading laid with a wide uncertainty is a reading: its words say how wide.
    if (m_finger.Down() || plan.Refused()) {
        reading.refused = m_finger.Down()       ? "a finger is on the screen: lift it first"
                          : plan.notice.empty() ? "nothing to lay"
                                                : plan.notice;
        instrument::Record(m_device, reading);
        Say(m_device, reading.refused);
        TellReading(reading);
        return;
    }
    if (plan.corner) {
        m_lastCorner = plan;
    }
    // The aim goes to the camera now, before the touches: nothing else may come to send it.
    instrument::Carry(m_device, plan, [this](const device::Aim& aim) {
        m_aimer.Set(aim);
        m_aimer.Flush();
    });
    // Told and recorded once the needles lie where the plan laid them, with what was fitted
    // drawn over the picture until the user's next key or touch.
    reading.uncertainty = plan.uncertainty;
    AfterTouches([this, reading, fitted = plan.fitted](const std::string& shownAngle) mutable {
        reading.angle = shownAngle;
        instrument::Record(m_device, reading);
        TellReading(reading);
        if (m_presenter) {
            m_presenter->ShowFitted(std::move(fitted));
        }
        m_presentation.MustPresent(true);
    });
}

void EdgeSearch::FollowCorner()
{
    if (m_follower.Following()) {
        m_follower.Stop("L was pressed");
        return;
    }
    std::string why;
    if (!m_follower.Start(m_lastCorner, why)) {
        Say(m_device, why);
        if (m_presenter) {
            m_presenter->ShowNotice(why, kRefusalNotice, true);
        }
    } else if (m_presenter) {
        m_presenter->ShowNotice("following the corner (L again to stop)", kReadingNotice, true);
    }
    m_presentation.MustPresent(true);
}

void EdgeSearch::TellReading(const instrument::Reading& reading)
{
    // In the title until what the title shows changes (plain ASCII there), and over the view
    // for a while, at its top: the foot holds the half dial's hub and the corner laid under it.
    SDL_SetWindowTitle(m_window.get(), ("Veltora - " + instrument::Words(reading, true)).c_str());
    if (m_presenter) {
        m_presenter->ShowNotice(instrument::Words(reading), reading.refused.empty() ? kReadingNotice : kRefusalNotice,
                                true);
    }
    m_presentation.MustPresent(true);
}

} // namespace sdl
