// What the launcher asks of the desktop window: its size, the pictures it may open and what it
// remembers between runs. Every part of the window reads these; none changes them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/CameraSource.h"

namespace sdl {

struct Options {
    // Shows the screen this many times smaller (1 is pixel for pixel); 0 picks a size that
    // suits the desktop.
    int shrink = 0;
    // Fills the display with the phone's screen (shrink is then unused). The view turns as
    // the tilt sensor reads when a real sensor drives it, as the keys turn it otherwise.
    bool fullscreen = false;
    // Makes a camera source for a picture file (a dropped file, N and P); the window owns no
    // backend of its own. Null: pictures cannot be opened from the window.
    std::function<std::unique_ptr<device::CameraSource>(const std::string& path)> openPicture;
    // The picture the camera shows at start (empty: the demo scene), where N and P start.
    std::string picture;
    // Where S saves its pictures; empty: a Veltora folder in the user's pictures folder.
    std::string saveTo;
    // The file the window remembers its size, place and last picture in, read as it opens
    // and written as it closes; empty: nothing is remembered.
    std::string settingsFile;
    // Whether to show the picture of the last run at start (no camera was asked for).
    bool showLastPicture = false;
    // The files this run writes (empty names are none): the last picture is not shown
    // when it is one of them, so that it is never written over while it is shown.
    std::vector<std::string> outputs;
};

} // namespace sdl
