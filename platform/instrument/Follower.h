// The device's finger following a corner: on every new camera picture the corner is found again
// and the needles laid on it, one search at a time, the newest picture first; a loss is told once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "device/Aiming.h"
#include "instrument/Follow.h"
#include "instrument/NeedleWatch.h"
#include "instrument/Reading.h"

namespace device {
class Device;
}

namespace instrument {

class Follower {
public:
    // Where the search runs: on the event thread as each picture comes (a script, in step with
    // its clock), or beside it while the window keeps drawing.
    enum class Run { Here, Beside };
    struct Hooks {
        // Aims the camera as a plan says, before its touches.
        std::function<void(const device::Aim&)> aim;
        // One line for the user: a loss, the finding again, the end of following.
        std::function<void(const std::string&)> tell;
        // Each picture's reading once the needles lie on it, with what was fitted and the
        // device's time when the picture was seen (beside the event thread, a little earlier).
        std::function<void(const Reading&, const Plan&, std::int64_t seenUs)> read;
    };
    struct Tally {
        std::uint64_t pictures = 0; // new pictures seen while following
        std::uint64_t searched = 0; // of those, searched
        std::uint64_t followed = 0;
        std::uint64_t lost = 0; // pictures the corner was not found in
        std::uint64_t Dropped() const { return pictures - searched; }
    };

    Follower(device::Device& device, NeedleWatch& watch, Run run, Hooks hooks);
    ~Follower();
    Follower(const Follower&) = delete;
    Follower& operator=(const Follower&) = delete;

    // Follows the corner `plan` laid from the camera's next picture on; false with why when the
    // plan laid no corner.
    bool Start(const Plan& plan, std::string& why);
    // Stops following, telling the user `why` when it was following.
    void Stop(const std::string& why);
    bool Following() const { return m_following; }
    bool Lost() const { return m_lost; }
    const Tally& Counts() const { return m_tally; }

private:
    void OnPicture();
    void OnTouch(device::TouchPhase phase);
    void Search();
    void Done(FollowStep step);
    void Carry(FollowStep step);

    device::Device& m_device;
    NeedleWatch& m_watch;
    Run m_run;
    Hooks m_hooks;
    int m_pictureWatch = 0;
    int m_touchWatch = 0;
    bool m_following = false;
    bool m_lost = false;
    bool m_searching = false;
    bool m_waiting = false; // a picture came while the search ran
    std::uint64_t m_generation = 0; // the camera's source when following began
    std::uint64_t m_session = 0; // a search from an earlier following is thrown away
    int m_ownTouches = 0; // touches posted and not yet delivered
    Track m_track;
    Tally m_tally;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::thread m_thread;
};

} // namespace instrument
