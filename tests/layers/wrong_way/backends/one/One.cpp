// A backend that reaches into another one and into platform/src.
#include "One.h"
#include "device/Clock.h"
#include "two/Two.h"
#include "media/CameraUnit.h"
