// The holding arithmetic shared by the camera sensor, the window and scripts: which quarter
// turn a pitch stands for, and a point carried through quarter turns.
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

} // namespace device
