// E and C in the window: the device's finger searches the camera's picture beside the window,
// which keeps drawing, one search at a time, and hands the plan back on the event thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "device/Aiming.h"
#include "instrument/Finger.h"
#include "instrument/Reading.h"

namespace device { class Device; }

namespace sdl {

class EdgeSearch {
public:
    // The plan, and what was asked for (which kind, where) to be read.
    using Done = std::function<void(const instrument::Plan& plan, const instrument::Reading& asked)>;

    // Watches where the needles lie from now on; `done` takes each plan, on the event
    // thread, and only while this lives.
    EdgeSearch(device::Device& device, Done done);
    ~EdgeSearch();
    EdgeSearch(const EdgeSearch&) = delete;
    EdgeSearch& operator=(const EdgeSearch&) = delete;

    bool Searching() const { return m_searching; }
    // Looks for an edge (or a corner) about a screen point, with the finger down or not and
    // the camera about to take `aim`.
    void Start(device::PointD screenPoint, bool fingerDown, const device::Aim& aim, bool corner);

    // Once the touches posted so far have reached the needles, `then` is told the angle the
    // readout shows between them (on the event thread, only while this lives).
    void AfterTouches(std::function<void(const std::string& shownAngle)> then);

private:
    void Carry(const instrument::Plan& plan, const instrument::Reading& asked);

    device::Device& m_device;
    Done m_done;
    // Where the needles lie: it watches every touch from the start.
    instrument::NeedleWatch m_needles;
    bool m_searching = false;
    // What a search posts back is carried out only while this lives.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::thread m_thread;
};

} // namespace sdl
