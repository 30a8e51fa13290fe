// A codec header that stays in its folder.
#pragma once
#include "codec/Codec.h"
