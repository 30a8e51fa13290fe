// EXIF orientation: 1 as stored, 2 mirrored, 3 half turned, 4 upside-down mirror, 5 to 8 the
// same with a quarter turn (6: the camera was held turned clockwise, the picture is turned
// back a quarter clockwise).
#include "ExifOrientation.h"

#include <libexif/exif-data.h>

#include <memory>
#include <new>

namespace photo {

int ExifOrientationOf(const std::string& path)
{
    const std::unique_ptr<ExifData, void (*)(ExifData*)> data(exif_data_new_from_file(path.c_str()), exif_data_unref);
    if (!data) {
        return 1;
    }
    ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || !entry->data || entry->size < 2) {
        return 1;
    }
    const int orientation = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

bool ApplyOrientation(std::vector<std::uint32_t>& pixels, int& width, int& height, int orientation)
{
    if (orientation < 2 || orientation > 8 || width <= 0 || height <= 0 ||
        pixels.size() != std::size_t(width) * std::size_t(height)) {
        return true;
    }
    const bool quarter = orientation >= 5;
    const int w = quarter ? height : width, h = quarter ? width : height;
    std::vector<std::uint32_t> out;
    try {
        out.resize(pixels.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    // For each pixel as seen, the stored pixel it shows.
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            int sx = x, sy = y;
            switch (orientation) {
            case 2: sx = width - 1 - x; break;
            case 3: sx = width - 1 - x, sy = height - 1 - y; break;
            case 4: sy = height - 1 - y; break;
            case 5: sx = y, sy = x; break;
            case 6: sx = y, sy = height - 1 - x; break;
            case 7: sx = width - 1 - y, sy = height - 1 - x; break;
            case 8: sx = width - 1 - y, sy = x; break;
            default: break;
            }
            out[std::size_t(y) * w + x] = pixels[std::size_t(sy) * width + sx];
        }
    }
    pixels = std::move(out);
    width = w;
    height = h;
    return true;
}

} // namespace photo
