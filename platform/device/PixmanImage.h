// A pixman image held by its one owner: released when the handle goes, on every path.
// Header-only, for the device, the platform and the picture helpers alike.
#pragma once

#include <memory>

#include <pixman.h>

namespace device {

struct PixmanImageRelease {
    void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};

// Holds one reference; a null image (pixman could not make it) is allowed.
class PixmanImage {
public:
    PixmanImage() = default;
    explicit PixmanImage(pixman_image_t* image) : m_image(image) {}
    pixman_image_t* get() const { return m_image.get(); }
    explicit operator bool() const { return m_image != nullptr; }

private:
    std::unique_ptr<pixman_image_t, PixmanImageRelease> m_image;
};

} // namespace device
