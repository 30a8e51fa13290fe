// Pictures of a dark wedge on a lighter ground whose corner is known exactly: its edges
// anti-aliased and slightly blurred (a Gaussian edge profile) and grey noise over all, as a
// camera would see a sharp corner. For the edge finder's precision tests and its benchmark.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "device/Geometry.h"

namespace testing_support {

struct Wedge {
    double vertexX = 0, vertexY = 0; // continuous picture pixels
    // The object lies in the sweep that turns counter-clockwise on screen (y up) from arm1Deg
    // by openingDeg (below 180).
    double arm1Deg = 0;
    double openingDeg = 90;
    double light = 200, dark = 60;
    double blur = 0.8; // the edge profile's standard deviation, in pixels
    double noise = 2.0; // grey levels, standard deviation
};

// Opaque a8r8g8b8 pixels, rows packed.
inline std::vector<std::uint32_t> DrawWedge(const Wedge& w, int width, int height, unsigned seed)
{
    using device::kPi;
    const double a1 = w.arm1Deg * kPi / 180, a2 = (w.arm1Deg + w.openingDeg) * kPi / 180;
    // Inward normals (screen y downward) of the two half-planes whose overlap is the wedge.
    const double d1x = std::cos(a1), d1y = -std::sin(a1), d2x = std::cos(a2), d2y = -std::sin(a2);
    const double n1x = d1y, n1y = -d1x; // the first arm's left, towards the second arm
    const double n2x = -d2y, n2y = d2x; // the second arm's right, towards the first
    // Grain from a table of normal samples picked by a cheap generator: millions of pixels
    // a second, so hundreds of pictures fit in a fast test.
    std::mt19937 rng(seed);
    std::normal_distribution<double> normal(0.0, w.noise);
    std::vector<double> table(4096);
    for (double& v : table) {
        v = normal(rng);
    }
    std::uint32_t state = (seed * 2654435761u) | 1u;
    const auto grain = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return table[state & 4095];
    };
    std::vector<std::uint32_t> out(std::size_t(width) * height);
    const double k = 1.0 / (w.blur * std::sqrt(2.0));
    const auto cover = [&](double sd) {
        return sd > 5 * w.blur + 1 ? 1.0 : sd < -5 * w.blur - 1 ? 0.0 : 0.5 * (1 + std::erf(sd * k));
    };
    const double reach = 5 * w.blur + 1;
    for (int y = 0; y < height; y++) {
        // Signed distances into the wedge grow by a fixed step along a row.
        const double py = y + 0.5 - w.vertexY, px = 0.5 - w.vertexX;
        double s1 = px * n1x + py * n1y, s2 = px * n2x + py * n2y;
        std::uint32_t* row = &out[std::size_t(y) * width];
        for (int x = 0; x < width; x++, s1 += n1x, s2 += n2x) {
            const double c = s1 < -reach || s2 < -reach ? 0.0 : std::min(cover(s1), cover(s2));
            const double v = std::clamp(w.light - (w.light - w.dark) * c + grain(), 0.0, 255.0);
            const std::uint32_t g = static_cast<std::uint32_t>(v + 0.5);
            row[x] = 0xff000000u | g << 16 | g << 8 | g;
        }
    }
    return out;
}

} // namespace testing_support
