// Asks a Wayland compositor for its globals on a connection of our own, closed again before
// SDL opens its own.
#include "sdl/WaylandDesk.h"

#include "text/Printable.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#if defined(VELTORA_HAVE_WAYLAND)
#include <memory>
#include <vector>

#include <wayland-client.h>
#endif

namespace sdl::detail {

#if defined(VELTORA_HAVE_WAYLAND)
namespace {

struct Asking {
    WaylandDesk desk;
    std::vector<wl_output*> outputs;
    int firstScale = 0;
};

void OnScale(void* data, wl_output* output, int32_t factor)
{
    auto* asking = static_cast<Asking*>(data);
    // Only the first output counts: the window opens on it.
    if (!asking->outputs.empty() && output == asking->outputs.front() && factor >= 1) {
        asking->firstScale = factor;
    }
}

const wl_output_listener kOutputListener = {
    [](void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*, int32_t) {},
    [](void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {},
    [](void*, wl_output*) {},
    OnScale,
    [](void*, wl_output*, const char*) {},
    [](void*, wl_output*, const char*) {},
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* asking = static_cast<Asking*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        asking->desk.seat = true;
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 2) {
        // The scale event came with version 2.
        auto* output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 2));
        if (output) {
            asking->outputs.push_back(output);
            wl_output_add_listener(output, &kOutputListener, asking);
        }
    }
}

const wl_registry_listener kRegistryListener = {
    OnGlobal,
    [](void*, wl_registry*, uint32_t) {},
};

} // namespace

WaylandDesk AskWayland()
{
    WaylandDesk none;
    none.asked = true;
    std::unique_ptr<wl_display, decltype(&wl_display_disconnect)> display(wl_display_connect(nullptr),
                                                                          wl_display_disconnect);
    if (!display) {
        return none;
    }
    Asking asking;
    wl_registry* registry = wl_display_get_registry(display.get());
    wl_registry_add_listener(registry, &kRegistryListener, &asking);
    // The first round trip brings the globals, the second the outputs' scale.
    const bool answered = wl_display_roundtrip(display.get()) >= 0 && wl_display_roundtrip(display.get()) >= 0;
    for (wl_output* output : asking.outputs) {
        wl_output_destroy(output);
    }
    wl_registry_destroy(registry);
    if (!answered) {
        return none;
    }
    asking.desk.asked = true;
    asking.desk.reached = true;
    asking.desk.scale = asking.firstScale > 0 ? asking.firstScale : 1;
    return asking.desk;
}
#else
WaylandDesk AskWayland() { return {}; }
#endif

std::string WhyNoWayland()
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    const std::string display = name ? name : "";
    const std::string shown = text::Printable(display);
    // A name is looked for in the runtime folder, as the client library does; a path is taken as it is.
    std::string path = display;
    if (display.empty() || display[0] != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (!runtime || !*runtime) {
            return "WAYLAND_DISPLAY=" + shown + " names a socket in XDG_RUNTIME_DIR, which is not set";
        }
        path = std::string(runtime) + "/" + display;
    }
    const std::string told = "WAYLAND_DISPLAY=" + shown + (path == display ? "" : " (" + text::Printable(path) + ")");
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int error = errno;
        return "no Wayland compositor at " + told + ": " + (error == ENOENT ? "no such socket" : std::strerror(error));
    }
    if (!S_ISSOCK(st.st_mode)) {
        return "no Wayland compositor at " + told + ": " + (S_ISDIR(st.st_mode) ? "a folder" : "a file") +
               ", not a socket";
    }
    return "no Wayland compositor answers at " + told + ": nothing listens on the socket (a compositor that ended?)";
}

} // namespace sdl::detail
