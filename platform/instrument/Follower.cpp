// Following a corner on the event thread: each new picture starts a search unless one runs (then
// the newest picture is searched when it ends), and each result lays the needles or tells a loss.
#include "instrument/Follower.h"

#include <system_error>
#include <utility>

#include "device/Device.h"
#include "instrument/Dial.h"

namespace instrument {

Follower::Follower(device::Device& device, NeedleWatch& watch, Run run, Hooks hooks)
    : m_device(device), m_watch(watch), m_run(run), m_hooks(std::move(hooks))
{
    std::weak_ptr<bool> alive = m_alive;
    // Told inside the capture: the search waits for the event thread's next turn, when the
    // picture is the camera's newest.
    m_pictureWatch = device.Camera().WatchPictures([this, alive] {
        if (m_following) {
            m_tally.pictures++;
            m_device.Loop().Post([this, alive] {
                if (alive.lock()) {
                    OnPicture();
                }
            });
        }
    });
    m_touchWatch = device.Touch().AddWatcher([this](device::TouchPhase phase, int, int) { OnTouch(phase); });
}

Follower::~Follower()
{
    m_device.Camera().UnwatchPictures(m_pictureWatch);
    m_device.Touch().RemoveWatcher(m_touchWatch);
    m_alive.reset();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool Follower::Start(const Plan& plan, std::string& why)
{
    if (!plan.corner) {
        why = "no corner read to follow: read one with C first";
        return false;
    }
    const device::FrameSize size =
        m_device.Camera().Source() ? m_device.Camera().Source()->PictureSize() : device::FrameSize{};
    m_track = Track{*plan.corner, std::nullopt, size, 0};
    m_following = true;
    m_lost = false;
    m_waiting = false;
    m_session++;
    m_generation = m_device.Camera().SourceGeneration();
    m_tally = {};
    return true;
}

void Follower::Stop(const std::string& why)
{
    if (!m_following) {
        return;
    }
    m_following = false;
    m_waiting = false;
    m_session++;
    if (m_hooks.tell) {
        m_hooks.tell("stopped following the corner: " + why);
    }
}

void Follower::OnTouch(device::TouchPhase phase)
{
    if (m_ownTouches > 0) {
        m_ownTouches--;
        return;
    }
    if (phase == device::TouchPhase::Press) {
        Stop("a finger touched the screen");
    }
}

void Follower::OnPicture()
{
    if (!m_following) {
        return;
    }
    if (m_device.Camera().SourceGeneration() != m_generation) {
        Stop("the camera's source changed");
        return;
    }
    if (m_searching) {
        // The newest picture is searched when this search ends; those between are dropped.
        m_waiting = true;
        return;
    }
    Search();
}

void Follower::Search()
{
    Request request = Ask(m_device, m_watch, ShapeOf(m_watch.Shown()).hub);
    auto pending = std::make_shared<FollowPending>(PrepareFollow(m_device, request, m_track));
    m_tally.searched++;
    if (m_run == Run::Here) {
        Done(FinishFollow(*pending));
        return;
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_searching = true;
    std::weak_ptr<bool> alive = m_alive;
    device::Device* dev = &m_device;
    const std::uint64_t session = m_session;
    try {
        m_thread = std::thread([this, dev, pending, alive, session] {
            FollowStep step = FinishFollow(*pending);
            dev->Loop().Post([this, alive, session, step = std::move(step)]() mutable {
                if (alive.lock()) {
                    m_searching = false;
                    if (session == m_session) {
                        Done(std::move(step));
                    }
                    if (m_waiting && m_following) {
                        m_waiting = false;
                        Search();
                    }
                }
            });
        });
    } catch (const std::system_error&) {
        // No thread to be had: searched here, the window waiting for it.
        m_searching = false;
        Done(FinishFollow(*pending));
    }
}

void Follower::Done(FollowStep step)
{
    if (!m_following) {
        return;
    }
    if (m_device.Camera().SourceGeneration() != m_generation) {
        Stop("the camera's source changed");
        return;
    }
    if (!step.corner) {
        m_tally.lost++;
        // Looked for further along the way it went, and where it was last seen.
        m_track.missed++;
        if (m_lost) {
            return;
        }
        m_lost = true;
        Reading reading;
        reading.screen = ShapeOf(m_watch.Shown()).hub;
        reading.refused = "lost the corner: " + step.lost;
        reading.state = "lost";
        reading.frame = step.frame;
        Record(m_device, reading);
        if (m_hooks.tell) {
            m_hooks.tell(reading.refused + "; the needles stay, looking for it where it was");
        }
        return;
    }
    m_tally.followed++;
    if (m_lost) {
        m_lost = false;
        if (m_hooks.tell) {
            m_hooks.tell("found the corner again");
        }
    }
    // Its way from where it was last seen, over the pictures it was lost in.
    const PointD was = m_track.last.vertex, is = step.corner->vertex;
    const double n = m_track.missed + 1.0;
    m_track.before = PointD{is.x - (is.x - was.x) / n, is.y - (is.y - was.y) / n};
    m_track.last = *step.corner;
    m_track.missed = 0;
    Carry(std::move(step));
}

void Follower::Carry(FollowStep step)
{
    // The user's finger came down meanwhile: it has the screen, and this picture is skipped.
    if (m_watch.FingerDown()) {
        return;
    }
    if (step.plan.aims && m_hooks.aim) {
        m_hooks.aim(step.plan.aim);
    }
    m_ownTouches += static_cast<int>(step.plan.touches.size());
    for (const Touch& t : step.plan.touches) {
        m_device.PostTouch(t.phase, t.x, t.y);
    }
    // Touches are delivered in the order they were posted: this comes after them.
    Reading reading;
    reading.screen = ShapeOf(m_watch.Shown()).hub;
    reading.uncertainty = step.plan.uncertainty;
    reading.state = "followed";
    reading.frame = step.frame;
    std::weak_ptr<bool> alive = m_alive;
    const std::uint64_t session = m_session;
    m_device.Loop().Post([this, alive, session, reading, seenUs = step.seenUs, plan = std::move(step.plan)]() mutable {
        if (!alive.lock() || session != m_session) {
            return;
        }
        reading.angle = ShownAngle(m_watch);
        Record(m_device, reading);
        if (m_hooks.read) {
            m_hooks.read(reading, plan, seenUs);
        }
    });
}

} // namespace instrument
