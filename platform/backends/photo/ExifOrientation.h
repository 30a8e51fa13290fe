// How a phone camera says its photo stands: the EXIF orientation of a JPEG or a PNG (read
// with libexif), and the photo's pixels turned and mirrored by it so that they stand upright.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace photo {

// The orientation tag (1 to 8) of the file's EXIF data (a PNG's eXIf chunk, or a JPEG's
// APP1 segment); 1 (as stored) when it has none, or
// one that is no orientation.
int ExifOrientationOf(const std::string& path);

// Rewrites `pixels` (width x height, rows packed) as seen the right way up for `orientation`;
// the sizes are swapped for the orientations that turn a quarter. False, leaving everything
// as it was, when there is no memory for the turned copy.
bool ApplyOrientation(std::vector<std::uint32_t>& pixels, int& width, int& height, int orientation);

} // namespace photo
