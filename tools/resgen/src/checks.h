// What resgen's artwork checks share: the images under check, the problems found, pixel helpers.
// Each family of images (needles and hubs, readout, dials) has its checks in a file of its own.
#pragma once

#include "artwork.h"

#include <algorithm>
#include <string>

namespace resgen::checks {

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive
    bool empty() const { return right < left; }
    void add(int x, int y) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    void add(const Box& b) {
        if (b.empty()) return;
        add(b.left, b.top);
        add(b.right, b.bottom);
    }
    bool overlaps(const Box& b) const {
        return !empty() && !b.empty() && left <= b.right && b.left <= right && top <= b.bottom && b.top <= bottom;
    }
};

Box inkBox(const Image& img, int minAlpha = 24);
double luminance(const Pixel& p);
// Contrast of two opaque colours as the web's accessibility guidelines define it: 1 to 21.
double contrastRatio(const Pixel& a, const Pixel& b);

class Report {
public:
    virtual ~Report() = default;
    virtual void fail(const std::string& message) = 0;
    // An image that the size checks have already loaded.
    virtual const Image& get(const std::string& name) = 0;
};

void checkNeedles(Report& report);
void checkHubs(Report& report);
void checkReadout(Report& report);

}  // namespace resgen::checks
