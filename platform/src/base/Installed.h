// How a module below app/ reaches the platform running on the current device without
// naming it: the platform is the device's software and offers each module an interface
// of that module's own (the canvas's screen, the controls' screen, the camera service).
#pragma once

#include "device/Device.h"

namespace base {

// What the platform on the current device offers as `Need`; null when no device or no
// platform is there (nothing is started for the asking).
template <class Need>
Need* Installed()
{
    device::Device* device = device::Device::Current();
    return device ? dynamic_cast<Need*>(device->GetSoftware()) : nullptr;
}

} // namespace base
