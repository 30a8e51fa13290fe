// What the window's parts share: how the phone is held, the steps for tilting, aiming and
// zooming, the loupe's size and the camera's frame; the view's geometry has a header of its own.
#pragma once

#include <chrono>
#include <string>

#include "device/Aiming.h"
#include "device/Display.h"
#include "sdl/ViewGeometry.h"

namespace device {
class Device;
}

namespace sdl::detail {

// A line for the user, through the device's channel for them.
void Say(device::Device& device, const std::string& message);

// How the phone is held and what its screen shows: the window keeps it, its parts read it.
struct Held {
    int screenWidth = 800;
    int screenHeight = 480;
    bool portraitForm = false;
    // The way the user turned the phone with 1-4; tilting with [ and ] leaves it alone.
    int heldTurns = 0;
    float pitch = -90.0f;
    bool background = false;

    // How the screen is turned in the window now.
    int Turns() const
    {
        // A portrait form is made to be read upright whichever way the phone is held.
        return portraitForm ? 0 : heldTurns;
    }
    int ViewWidth() const { return TurnedSize(screenWidth, screenHeight, Turns()).w; }
    int ViewHeight() const { return TurnedSize(screenWidth, screenHeight, Turns()).h; }
};

constexpr float kPitchStep = 5.0f;
constexpr int kPanStep = 40; // screen pixels per arrow key
constexpr int kFinePanStep = 5; // with Shift
constexpr double kWheelScroll = 60.0; // screen pixels the help page scrolls per wheel step
constexpr double kZoomStep = 1.189207115002721; // 2^(1/4): four steps double the zoom
constexpr int kMaxShrink = 8;
// With Shift held the finger moves this much less than the mouse.
constexpr double kFineDrag = 10.0;
// The loupe shows this many screen pixels a side, on this share of the view's short side.
constexpr int kLoupeSpan = 41;
constexpr double kLoupeShare = 0.34;
// How long a notice stays at the view's foot: a reading of C or E, and one that was refused,
// stay long enough to be read twice.
constexpr std::chrono::milliseconds kReadingNotice{6000};
constexpr std::chrono::milliseconds kRefusalNotice{4000};
// N and P look at files for at most this long before the window draws and reads input again.
constexpr std::chrono::milliseconds kStepSlice{20};
// The camera's frames cover the landscape screen one to one.
constexpr device::FrameSize kFrame{device::Display::kLongSide, device::Display::kShortSide};

} // namespace sdl::detail
