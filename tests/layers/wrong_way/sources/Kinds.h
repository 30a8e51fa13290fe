// A helper that sees the device and makes a backend's source itself.
#pragma once
#include "device/CameraSource.h"
#include "one/One.h"
