// A helper that sees the device and reaches into a backend.
#pragma once
#include "device/Clock.h"
#include "one/One.h"
