// What a Wayland compositor offers, asked before SDL starts on it: whether it has a seat
// (SDL 2.26 crashes at start without one) and the scale of its first output.
#pragma once

#include <string>

namespace sdl::detail {

struct WaylandDesk {
    bool asked = false; // this build could ask (it has the Wayland client library)
    bool reached = false; // a compositor answered at WAYLAND_DISPLAY
    bool seat = false; // it offers a seat: a keyboard, pointer or touch screen may come and go
    int scale = 1; // how many buffer pixels its first output shows per window unit
};

// Asks the compositor named by WAYLAND_DISPLAY (one round trip); `reached` is false when
// none answers or this build has no Wayland client library.
WaylandDesk AskWayland();

// Why nothing answered at WAYLAND_DISPLAY, naming the socket it stands for: missing, not a
// socket, or a socket nobody listens on (a compositor that ended without removing it).
std::string WhyNoWayland();

} // namespace sdl::detail
