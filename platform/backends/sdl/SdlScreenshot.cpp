// Screenshots from the window: the screen as a PNG file in the current folder, named by
// the time and never overwriting one taken before.
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <ctime>
#include <filesystem>

#include "codec/ImageCodec.h"
#include "device/Device.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

void Window::TakeScreenshot()
{
    char stamp[32];
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string name = std::string("veltora-") + stamp + ".png";
    // Never overwrite: several shots in one second get a counter.
    std::error_code ec;
    for (int i = 2; std::filesystem::exists(name, ec); i++) {
        name = std::string("veltora-") + stamp + "-" + std::to_string(i) + ".png";
    }
    std::string reason;
    const device::PixelView shot = m_device.GetDisplay().Compose();
    if (codec::WritePngFile(name, shot.pixels, shot.width, shot.height, shot.stride, reason)) {
        std::printf("%s\n", name.c_str());
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "veltora: cannot save the screenshot %s: %s\n", name.c_str(), reason.c_str());
    }
}

} // namespace sdl
