// Points in continuous pixels and the little vector arithmetic every part that turns or
// measures them shares: one pi, degrees and radians, dot and cross products.
#pragma once

#include <cmath>
#include <numbers>

namespace device {

inline constexpr double kPi = std::numbers::pi;

constexpr double Deg(double rad) { return rad * 180.0 / kPi; }
constexpr double Rad(double deg) { return deg * kPi / 180.0; }

// A point is given in continuous coordinates: a frame point in pixels with (0.5, 0.5) the
// middle of the top-left pixel, a picture point in fractions of its width and height.
struct PointD {
    double x = 0;
    double y = 0;
};

constexpr PointD operator+(PointD a, PointD b) { return {a.x + b.x, a.y + b.y}; }
constexpr PointD operator-(PointD a, PointD b) { return {a.x - b.x, a.y - b.y}; }
constexpr PointD operator*(PointD a, double k) { return {a.x * k, a.y * k}; }
constexpr PointD operator*(double k, PointD a) { return {k * a.x, k * a.y}; }
constexpr double Dot(PointD a, PointD b) { return a.x * b.x + a.y * b.y; }
constexpr double Cross(PointD a, PointD b) { return a.x * b.y - a.y * b.x; }
inline double Length(PointD a) { return std::hypot(a.x, a.y); }

} // namespace device
