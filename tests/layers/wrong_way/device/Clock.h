// A device header that reaches up into the platform.
#pragma once
#include "device/Other.h"
#include "ui/Screen.h"
