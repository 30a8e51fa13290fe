// A pixman image held by its one owner: released when the handle goes, on every path.
// Header-only, for the device, the platform and the picture helpers alike.
#pragma once

#include <memory>

#include <pixman.h>

#include "device/Aiming.h"

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

// Has `image` read through the affine map that takes a target pixel (x, y) to the source
// point o + x (ex - o) + y (ey - o): o, ex and ey are where the target's origin and its two
// unit steps land in the source. Turns, scales and offsets alike.
inline void SetReadingMap(pixman_image_t* image, PointD o, PointD ex, PointD ey)
{
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    t.matrix[0][0] = pixman_double_to_fixed(ex.x - o.x);
    t.matrix[0][1] = pixman_double_to_fixed(ey.x - o.x);
    t.matrix[0][2] = pixman_double_to_fixed(o.x);
    t.matrix[1][0] = pixman_double_to_fixed(ex.y - o.y);
    t.matrix[1][1] = pixman_double_to_fixed(ey.y - o.y);
    t.matrix[1][2] = pixman_double_to_fixed(o.y);
    pixman_image_set_transform(image, &t);
}

} // namespace device
