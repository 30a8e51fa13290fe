// The camera's kinds of source as this program makes them: the table of claims from the
// sources library, with makers from the backends.
#pragma once

#include "sources/CameraKinds.h"

namespace launcher {

// demo, libcamera, webcam, picture, video: asked in this order, so a file that is no picture
// and no camera is played as a video.
const sources::CameraKinds& CameraKinds();

// --camera list: what a user may pass to --camera on this machine. Returns the exit code.
int ListCameras();

} // namespace launcher
