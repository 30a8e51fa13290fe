// The Osp::System namespace: the battery level and the screen's on/off events.
#pragma once

namespace Osp { namespace System {

enum BatteryLevel {
    BATTERY_FULL,
    BATTERY_HIGH,
    BATTERY_LOW,
    BATTERY_CRITICAL,
    BATTERY_EMPTY,
};

class IScreenEventListener {
public:
    virtual ~IScreenEventListener() = default;
    virtual void OnScreenOn() = 0;
    virtual void OnScreenOff() = 0;
};

}} // namespace Osp::System
