// E and C in the window: the device's finger searches the camera's picture about the mouse
// beside the window, which keeps drawing, one search at a time, and carries out the plan.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "device/Aiming.h"
#include "instrument/Finger.h"
#include "instrument/Follower.h"
#include "instrument/Reading.h"
#include "sdl/SdlHandles.h"

namespace device {
class Device;
}

namespace sdl {

class Aimer;
class Finger;
class Presentation;
class Presenter;
namespace detail {
struct Held;
}

class EdgeSearch {
public:
    // Watches where the needles lie from now on; each plan is carried out on the event
    // thread, and only while this lives.
    EdgeSearch(device::Device& device, const detail::Held& held, const Finger& finger, Aimer& aimer,
               Presentation& presentation, const WindowHandle& window, const std::unique_ptr<Presenter>& presenter);
    ~EdgeSearch();
    EdgeSearch(const EdgeSearch&) = delete;
    EdgeSearch& operator=(const EdgeSearch&) = delete;

    bool Searching() const { return m_searching; }
    // E (an edge) and C (a corner) under the mouse.
    void LayAlongPicture(bool corner);
    // L: follows the corner C read last from picture to picture; again, stops.
    void FollowCorner();
    const instrument::Follower& Follower() const { return m_follower; }

private:
    // Looks for an edge (or a corner) about a screen point, with the finger down or not and
    // the camera about to take `aim`.
    void Start(device::PointD screenPoint, bool fingerDown, const device::Aim& aim, bool corner);
    void Carry(const instrument::Plan& plan, const instrument::Reading& asked);
    void CarryPlan(const instrument::Plan& plan, instrument::Reading reading);
    // Once the touches posted so far have reached the needles, `then` is told the angle the
    // readout shows between them (on the event thread, only while this lives).
    void AfterTouches(std::function<void(const std::string& shownAngle)> then);
    // The reading (or why there is none) in the title and over the view.
    void TellReading(const instrument::Reading& reading);

    device::Device& m_device;
    const detail::Held& m_held;
    const Finger& m_finger;
    Aimer& m_aimer;
    Presentation& m_presentation;
    const WindowHandle& m_window;
    const std::unique_ptr<Presenter>& m_presenter;
    // Where the needles lie: it watches every touch from the start.
    instrument::NeedleWatch m_needles;
    // The corner C laid last, for L to follow.
    instrument::Plan m_lastCorner;
    instrument::Follower m_follower;
    bool m_searching = false;
    // What a search posts back is carried out only while this lives.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::thread m_thread;
};

} // namespace sdl
