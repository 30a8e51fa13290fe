// What resgen's artwork checks share: the images under check, the problems found, pixel helpers.
// Each family of images (needles and hubs, readout, dials) has its checks in a file of its own.
#pragma once

#include "Artwork.h"

#include <algorithm>
#include <string>

namespace resgen::checks {

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1; // inclusive
    bool Empty() const { return right < left; }
    void Add(int x, int y)
    {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    void Add(const Box& b)
    {
        if (b.Empty()) return;
        Add(b.left, b.top);
        Add(b.right, b.bottom);
    }
    bool Overlaps(const Box& b) const
    {
        return !Empty() && !b.Empty() && left <= b.right && b.left <= right && top <= b.bottom && b.top <= bottom;
    }
};

Box InkBox(const Image& img, int minAlpha = 24);
double Luminance(const Pixel& p);
// Contrast of two opaque colours as the web's accessibility guidelines define it: 1 to 21.
double ContrastRatio(const Pixel& a, const Pixel& b);

class Report {
public:
    virtual ~Report() = default;
    virtual void Fail(const std::string& message) = 0;
    // An image that the size checks have already loaded.
    virtual const Image& Get(const std::string& name) = 0;
};

void CheckNeedles(Report& report);
void CheckHubs(Report& report);
void CheckReadout(Report& report);

} // namespace resgen::checks
