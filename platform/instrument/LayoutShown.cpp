// Following the tilt sensor's readings to the layout they bring up, as the phone's own layout
// does with the same bands.
#include "instrument/LayoutShown.h"

#include "device/TiltSensor.h"

namespace instrument {

LayoutShown::LayoutShown(device::TiltSensor& tilt) : m_tilt(tilt)
{
    m_token = m_tilt.AddReadingWatcher([this](float pitch) { m_layout = LayoutForPitch(pitch, m_layout); });
}

LayoutShown::~LayoutShown() { m_tilt.RemoveReadingWatcher(m_token); }

} // namespace instrument
