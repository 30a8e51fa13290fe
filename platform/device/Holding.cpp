// The holding arithmetic shared by the camera sensor, the window and scripts.
#include "device/Holding.h"

#include <cmath>

namespace device {

int QuarterTurnsForPitch(float pitch)
{
    if (!std::isfinite(pitch)) {
        return 0;
    }
    // Pitch wrapped into (-180, 180]; -90 is the screen as it is, each further quarter of
    // pitch one more quarter turn clockwise.
    double wrapped = std::fmod(static_cast<double>(pitch) + 180.0, 360.0);
    if (wrapped <= 0.0) {
        wrapped += 360.0;
    }
    const long q = std::lround((wrapped - 180.0 + 90.0) / 90.0);
    return NormalTurns(static_cast<int>(q % 4));
}

PointD TurnPoint(PointD p, FrameSize size, int turns)
{
    switch (NormalTurns(turns)) {
    case 1: return {size.height - p.y, p.x};
    case 2: return {size.width - p.x, size.height - p.y};
    case 3: return {p.y, size.width - p.x};
    default: return p;
    }
}

int LayoutForPitch(float pitch, int shown)
{
    // The bands are open at both ends; a pitch of exactly -180 or 180 is upside down.
    if (pitch > -10.0f && pitch < 10.0f) {
        return 0;
    }
    if (pitch > -100.0f && pitch < -80.0f) {
        return 2;
    }
    if (pitch > 80.0f && pitch < 100.0f) {
        return 3;
    }
    if ((pitch >= -180.0f && pitch < -170.0f) || (pitch > 170.0f && pitch <= 180.0f)) {
        return 1;
    }
    return shown;
}

Dial DialForPitch(float pitch, Dial shown)
{
    return DialOfLayout(LayoutForPitch(pitch, shown == Dial::Landscape ? 2 : 0));
}

ControlPlaces ControlsOf(int layout)
{
    switch (layout) {
    case 0: return {{15, 230, 75, 480}, {15, 15, 81, 79}};
    case 1: return {{725, 0, 785, 250}, {721, 399, 785, 465}};
    case 3: return {{550, 15, 800, 75}, {15, 15, 79, 81}};
    default: return {{0, 15, 250, 75}, {721, 15, 785, 81}};
    }
}

} // namespace device
