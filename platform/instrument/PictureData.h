// The part of a picture a search looks at, as the finder holds it: grey, at full resolution,
// with where it lies in the picture and how grainy it is.
#pragma once

#include <opencv2/core.hpp>

#include "instrument/EdgeFinder.h"

namespace instrument {

// The part of the picture around the point, grey, at full resolution, in OpenCV's pixel
// coordinates (whole numbers at pixel centres) from its own top-left corner.
struct PicturePart::Data {
    cv::Mat gray; // CV_32F
    int x0 = 0;
    int y0 = 0;
    double grain = 0; // grey levels: how much neighbouring pixels differ where no edge is
    PointD ToPart(PointD picture) const { return {picture.x - 0.5 - x0, picture.y - 0.5 - y0}; }
    PointD ToPicture(PointD part) const { return {part.x + 0.5 + x0, part.y + 0.5 + y0}; }
};

} // namespace instrument
