// A backend that keeps to the rules.
#include "codec/Codec.h"
#include "picture/Cover.h"
