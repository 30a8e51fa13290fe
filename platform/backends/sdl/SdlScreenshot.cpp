// Screenshots from the window: what the user sees (the screen turned as shown) or the
// phone's own screen, as a new PNG in the user's pictures (or --save-to) folder, named by
// the time, never overwriting.
#include "sdl/SdlScreenshot.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include <pixman.h>

#include "codec/ImageCodec.h"
#include "device/Device.h"
#include "device/PixmanImage.h"
#include "files/UserDirs.h"
#include "sdl/Presenter.h"
#include "sdl/SdlPresent.h"
#include "sdl/WindowParts.h"
#include "text/Printable.h"

namespace sdl {

using namespace detail;

Screenshots::Screenshots(device::Device& device, const Options& options, const Held& held,
                         const std::unique_ptr<Presenter>& presenter, Presentation& presentation)
    : m_device(device), m_options(options), m_held(held), m_presenter(presenter), m_presentation(presentation)
{}

void Screenshots::TakeScreenshot(bool asSeen)
{
    char stamp[32];
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    // The name is taken when the complete picture is given it, never checked first: several
    // shots in one second, from this window or another, each get a name of their own.
    // A menu starts programs in the home folder: pictures go where the desktop keeps them.
    std::string folder = m_options.saveTo;
    if (folder.empty()) {
        const std::string pictures = outpath::PicturesFolder();
        if (pictures.empty()) {
            m_screenshotFailed = true;
            Say(m_device, "cannot save the screenshot: no home folder to save it in (--save-to names one)");
            return;
        }
        folder = pictures + "/Veltora";
        if (std::string why; !outpath::MakeFolders(folder, why)) {
            m_screenshotFailed = true;
            Say(m_device, "cannot save the screenshot: " + text::Printable(why));
            return;
        }
    }
    const std::string stem = folder + "/veltora-" + stamp;
    const device::PixelView shot = m_device.GetDisplay().Compose();
    device::PixelView out = shot;
    std::vector<std::uint32_t> turned;
    const int turns = asSeen ? m_held.Turns() : 0;
    if (turns != 0) {
        // The view turned as the window shows it (a quarter turn is exact, no filtering).
        const Box size = TurnedSize(shot.width, shot.height, turns);
        turned.resize(static_cast<size_t>(size.w) * size.h);
        out = {turned.data(), size.w, size.h, size.w * 4};
        const device::PixmanImage src(
            pixman_image_create_bits(PIXMAN_a8r8g8b8, shot.width, shot.height, shot.pixels, shot.stride));
        const device::PixmanImage dst(
            pixman_image_create_bits(PIXMAN_a8r8g8b8, out.width, out.height, out.pixels, out.stride));
        // Each view pixel's centre reads the screen pixel whose centre lands on it.
        const device::PointD o = ViewToScreen({0, 0}, shot.width, shot.height, turns);
        const device::PointD ex = ViewToScreen({1, 0}, shot.width, shot.height, turns);
        const device::PointD ey = ViewToScreen({0, 1}, shot.width, shot.height, turns);
        device::SetReadingMap(src.get(), o, ex, ey);
        pixman_image_set_filter(src.get(), PIXMAN_FILTER_NEAREST, nullptr, 0);
        pixman_image_composite32(PIXMAN_OP_SRC, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0, out.width, out.height);
    }
    std::string name;
    std::string reason;
    if (codec::WriteNewPngFile(stem, out.pixels, out.width, out.height, out.stride, name, reason)) {
        std::error_code ec;
        const std::filesystem::path full = std::filesystem::absolute(name, ec).lexically_normal();
        std::printf("%s\n", text::Printable(ec ? name : full.string()).c_str());
        std::fflush(stdout);
        // Shift+S is for comparing the window with the phone's screen: no notice to differ.
        if (asSeen) {
            m_presenter->ShowNotice("saved " + std::filesystem::path(name).filename().string());
            m_presentation.MustPresent();
        }
    } else {
        m_screenshotFailed = true;
        Say(m_device, "cannot save the screenshot: " + text::Printable(reason));
    }
}

} // namespace sdl
