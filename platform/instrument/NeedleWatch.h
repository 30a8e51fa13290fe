// What the user sees of the needles, kept from every touch that reaches the phone's touch
// panel: the finger needs it to know which needle a press takes and where each lies now.
#pragma once

#include "device/TouchPanel.h"
#include "instrument/Dial.h"

namespace device {
class Device;
}

namespace instrument {

// What the user sees of the needles: the dial the phone shows and where both needles lie,
// kept from every touch that reaches the touch panel (the application starts them at 0 and
// 90 degrees on both dials). It watches while it lives.
class NeedleWatch {
public:
    explicit NeedleWatch(device::Device& device);
    ~NeedleWatch();
    NeedleWatch(const NeedleWatch&) = delete;
    NeedleWatch& operator=(const NeedleWatch&) = delete;

    Dial Shown();
    double Angle(Dial dial, Needle needle) const;
    // A finger is on the screen (pressed and not yet lifted).
    bool FingerDown() const { return m_down; }

private:
    void See(device::TouchPhase phase, int x, int y);
    void Turn(int x, int y);

    device::Device& m_device;
    int m_watcher = 0;
    Dial m_dial = Dial::Half;
    double m_angles[2][2] = {{0.0, 90.0}, {0.0, 90.0}};
    int m_held[2] = {-1, -1};
    int m_lastX = 0;
    int m_lastY = 0;
    bool m_down = false;
};

} // namespace instrument
