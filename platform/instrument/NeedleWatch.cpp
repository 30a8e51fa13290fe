// Following the needles from the touches alone, by the application's own rules: the press
// takes the needle of its band, and every move turns the held one to the finger's angle.
#include "instrument/NeedleWatch.h"

#include <cmath>

#include "device/Device.h"

namespace instrument {

NeedleWatch::NeedleWatch(device::Device& device) : m_device(device)
{
    m_dial = DialForPitch(device.Tilt().Pitch(), Dial::Half);
    m_watcher = device.Touch().AddWatcher([this](device::TouchPhase phase, int x, int y) { See(phase, x, y); });
}

NeedleWatch::~NeedleWatch() { m_device.Touch().RemoveWatcher(m_watcher); }

Dial NeedleWatch::Shown()
{
    m_dial = DialForPitch(m_device.Tilt().Pitch(), m_dial);
    return m_dial;
}

double NeedleWatch::Angle(Dial dial, Needle needle) const
{
    return m_angles[dial == Dial::Round][needle == Needle::Origin];
}

void NeedleWatch::See(device::TouchPhase phase, int x, int y)
{
    // A move to where the finger already is moves nothing; a finger lifted elsewhere moved
    // there first.
    const bool still = x == m_lastX && y == m_lastY;
    m_lastX = x;
    m_lastY = y;
    if (phase != device::TouchPhase::Press && !still) {
        Turn(x, y);
    }
    m_down = phase != device::TouchPhase::Release;
    if (phase == device::TouchPhase::Release) {
        m_held[0] = m_held[1] = -1;
    }
}

void NeedleWatch::Turn(int x, int y)
{
    const Dial dial = Shown();
    const int d = dial == Dial::Round;
    const DialShape& s = ShapeOf(dial);
    const double length = std::hypot(double(x) - s.centre.x, double(y) - s.centre.y);
    Needle needle;
    if (m_held[d] < 0 && instrument::NeedleAt(dial, length, needle)) {
        m_held[d] = needle == Needle::Origin;
    }
    const double a = AngleAt(dial, x, y);
    if (m_held[d] >= 0 && a >= 0) {
        m_angles[d][m_held[d]] = a;
    }
}

} // namespace instrument
