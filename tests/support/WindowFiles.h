// Files for the window's tests: pictures with detail everywhere, reading back saved PNGs, a
// folder of its own where S saves, and the photo camera the window opens pictures with.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "backends/photo/PhotoSource.h"
#include "codec/ImageCodec.h"
#include "support/Scratch.h"
#include "support/WindowRig.h"

namespace testing_support {

// A picture with detail everywhere, so a turn or a shift of one pixel shows.
inline void WritePicture(const std::string& path, int width, int height, unsigned seed,
                         const std::function<bool(int, int)>& green = {})
{
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            std::uint32_t h =
                (static_cast<std::uint32_t>(x) * 73856093u) ^ (static_cast<std::uint32_t>(y) * 19349663u) ^ seed;
            h = (h ^ (h >> 13)) * 0x5bd1e995u;
            const std::uint32_t r = (x * 255 / width + (h & 0x3F)) & 0xFF, g = (y * 255 / height) & 0xFF,
                                b = ((h >> 8) & 0x7F) + ((x + y) & 0x7F);
            pixels[static_cast<std::size_t>(y) * width + x] =
                green && green(x, y) ? 0xFF00C000u : (0xFF000000u | r << 16 | g << 8 | (b & 0xFF));
        }
    }
    std::string reason;
    ASSERT_TRUE(codec::WritePngFile(path, pixels.data(), width, height, width * 4, reason)) << reason;
}

inline Image Load(const std::string& path)
{
    codec::DecodedImage d;
    std::string reason;
    EXPECT_TRUE(codec::DecodeImageFile(path, d, reason)) << path << ": " << reason;
    Image img{d.width, d.height, std::move(d.pixels)};
    for (std::uint32_t& p : img.pixels) {
        p &= 0xFFFFFFu;
    }
    return img;
}

// Runs a test in a folder of its own, where S saves its pictures.
class InFolder {
public:
    InFolder()
    {
        char here[4096];
        EXPECT_NE(getcwd(here, sizeof here), nullptr);
        m_back = here;
        EXPECT_EQ(chdir(m_dir.Path().c_str()), 0);
    }
    ~InFolder() { EXPECT_EQ(chdir(m_back.c_str()), 0); }
    const ScratchDir& Dir() const { return m_dir; }
    // The name the picture taken last had.
    const std::string& LastName() const { return m_lastName; }
    // The picture a screenshot key saved (and only one), taken out of the folder.
    std::string TakeSaved(const std::string& as, std::size_t which = 0)
    {
        std::vector<std::string> saved;
        for (const auto& e : std::filesystem::directory_iterator(m_dir.Path())) {
            const std::string name = e.path().filename().string();
            if (name.rfind("veltora-", 0) == 0 && e.path().extension() == ".png") {
                saved.push_back(e.path().string());
            }
        }
        // Names sort as they were taken, a counter after the time within one second.
        std::sort(saved.begin(), saved.end(), [](const std::string& a, const std::string& b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        EXPECT_GT(saved.size(), which) << "screenshots in the folder";
        if (saved.size() <= which) {
            return {};
        }
        const std::string to = m_keep.File(as + ".png");
        std::filesystem::rename(saved[which], to);
        m_lastName = std::filesystem::path(saved[which]).filename().string();
        return to;
    }

private:
    ScratchDir m_dir;
    ScratchDir m_keep;
    std::string m_back;
    std::string m_lastName;
};

inline device::CameraSourceFactory Photo(const std::string& path)
{
    return [path] { return std::make_unique<photo::PhotoSource>(path); };
}

inline sdl::Options Pictures(const std::string& picture)
{
    sdl::Options o = WindowRig::One();
    o.picture = picture;
    o.openPicture = [](const std::string& path) -> std::unique_ptr<device::CameraSource> {
        return std::make_unique<photo::PhotoSource>(path);
    };
    return o;
}

#define SKIP_WITHOUT_WINDOW(rig)                                                                                       \
    if (!(rig).window) GTEST_SKIP() << "SDL's offscreen video driver is not available: " << (rig).reason

} // namespace testing_support
