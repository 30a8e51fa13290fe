// Opening pictures from the window without restarting: a file dropped onto it, or the next
// and previous picture in the same folder (N, P). The sources come from the launcher.
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "device/Device.h"
#include "sdl/WindowParts.h"
#include "text/Printable.h"

namespace sdl {

using namespace detail;

namespace {

bool LooksLikePicture(const std::filesystem::path& path)
{
    std::string ext = path.extension().string();
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    static const char* const kKinds[] = {".jpg", ".jpeg", ".png", ".gif", ".bmp", ".mp4", ".mkv",
                                         ".webm", ".avi", ".mov", ".ogv", ".m4v"};
    return std::any_of(std::begin(kKinds), std::end(kKinds), [&](const char* k) { return ext == k; });
}

} // namespace

void Window::OpenPicture(const std::string& path)
{
    if (!m_options.openPicture) {
        std::fprintf(stderr, "veltora: this window cannot open pictures\n");
        return;
    }
    std::unique_ptr<device::CameraSource> source = m_options.openPicture(path);
    std::string reason;
    if (!source || !source->Open(reason)) {
        std::fprintf(stderr, "veltora: cannot show %s: %s; the camera keeps its picture\n",
                     text::Printable(path).c_str(), source ? text::Printable(reason).c_str() : "not a picture");
        return;
    }
    // The camera opens it again when it next takes a frame, so nothing is held twice.
    source->Close();
    m_device.Camera().SetSource(std::move(source));
    m_picture = path;
    m_wholePicture = false;
    SetAim(device::Aim{});
    m_aimChanged = true;
    std::printf("showing %s\n", text::Printable(path).c_str());
    std::fflush(stdout);
}

void Window::StepPicture(int direction)
{
    std::error_code ec;
    const std::filesystem::path current = m_picture.empty() ? std::filesystem::path() : std::filesystem::absolute(m_picture, ec);
    const std::filesystem::path folder = current.empty() ? std::filesystem::current_path(ec) : current.parent_path();
    std::vector<std::filesystem::path> pictures;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && LooksLikePicture(it->path())) {
            pictures.push_back(it->path());
        }
    }
    std::sort(pictures.begin(), pictures.end());
    if (pictures.empty()) {
        std::fprintf(stderr, "veltora: no pictures in %s to step through\n",
                     text::Printable(folder.string()).c_str());
        return;
    }
    auto at = std::find(pictures.begin(), pictures.end(), current);
    long index = at == pictures.end() ? (direction > 0 ? -1 : 0) : at - pictures.begin();
    // One step, or past pictures that cannot be shown, once round at most.
    for (size_t tries = 0; tries < pictures.size(); tries++) {
        const long n = static_cast<long>(pictures.size());
        index = ((index + direction) % n + n) % n;
        const std::string before = m_picture;
        OpenPicture(pictures[static_cast<size_t>(index)].string());
        if (m_picture != before || pictures[static_cast<size_t>(index)] == current) {
            return;
        }
    }
}

} // namespace sdl
