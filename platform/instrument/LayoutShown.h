// The layout the phone shows, as the tilt readings taken so far choose it: the window's loupe
// keeps off the controls it places, and its aimer brings a point under the hub of its dial.
#pragma once

#include "instrument/Dial.h"

namespace device {
class TiltSensor;
}

namespace instrument {

// Watches the sensor's readings while it lives; the sideways layout (2) before any. The hold
// mode keeps the layout whatever the readings say, which no reading can tell.
class LayoutShown {
public:
    explicit LayoutShown(device::TiltSensor& tilt);
    ~LayoutShown();
    LayoutShown(const LayoutShown&) = delete;
    LayoutShown& operator=(const LayoutShown&) = delete;

    int Layout() const { return m_layout; }
    Dial Shown() const { return DialOfLayout(m_layout); }

private:
    device::TiltSensor& m_tilt;
    int m_token = 0;
    int m_layout = 2;
};

} // namespace instrument
