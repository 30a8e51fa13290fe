// E and C in the window: the device's finger searches the camera's picture about the mouse
// beside the window, which keeps drawing, one search at a time, and carries out the plan.
#pragma once

#include <memory>
#include <thread>

#include "device/Aiming.h"
#include "edges/Finger.h"
#include "sdl/SdlHandles.h"

namespace device { class Device; }

namespace sdl {

class Aimer;
class Finger;
class Presentation;
namespace detail { struct Held; }

class EdgeSearch {
public:
    // Watches where the needles lie from now on; each plan is carried out on the event
    // thread, and only while this lives.
    EdgeSearch(device::Device& device, const detail::Held& held, const Finger& finger, Aimer& aimer,
               Presentation& presentation, const WindowHandle& window);
    ~EdgeSearch();
    EdgeSearch(const EdgeSearch&) = delete;
    EdgeSearch& operator=(const EdgeSearch&) = delete;

    bool Searching() const { return m_searching; }
    // E (an edge) and C (a corner) under the mouse.
    void LayAlongPicture(bool corner);

private:
    // Looks for an edge (or a corner) about a screen point, with the finger down or not and
    // the camera about to take `aim`.
    void Start(device::PointD screenPoint, bool fingerDown, const device::Aim& aim, bool corner);
    void Carry(const edges::Plan& plan);
    void CarryPlan(const edges::Plan& plan);

    device::Device& m_device;
    const detail::Held& m_held;
    const Finger& m_finger;
    Aimer& m_aimer;
    Presentation& m_presentation;
    const WindowHandle& m_window;
    // Where the needles lie: it watches every touch from the start.
    edges::NeedleWatch m_needles;
    bool m_searching = false;
    // What a search posts back is carried out only while this lives.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::thread m_thread;
};

} // namespace sdl
