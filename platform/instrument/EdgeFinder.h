// Straight edges and corners found in a picture at its own resolution: proposals from OpenCV's
// line segment detector and from lines the gradient near the point votes for, then every edge
// fitted by least squares to sub-pixel edge points read across it in the full-resolution
// picture, from the corner outward as far as it goes, checked straight, with its uncertainty.
#pragma once

#include <memory>
#include <optional>

#include "device/Aiming.h"
#include "device/Pixels.h"

namespace instrument {

using device::PointD;

// Picture points are continuous pixels: (0.5, 0.5) is the middle of the top-left pixel.
struct Edge {
    PointD point; // a point of the fitted line, in the part that was fitted
    PointD direction; // unit
    double uncertainty = 0; // degrees, about a 95 % interval of the edge's angle
    PointD from, to; // the stretch the line was fitted over
};

struct Corner {
    PointD vertex;
    // Unit directions from the vertex along each edge, the way the object lies.
    PointD arm1;
    PointD arm2;
    double uncertainty = 0; // degrees, about a 95 % interval of the angle between the arms
    PointD from1, to1, from2, to2; // the stretches each arm was fitted over, nearer end first
    double clarity = 0; // grey levels across the fainter arm's edge
};

// Where to look: edges within `radius` picture pixels of `near`; a corner counts only when its
// fitted meeting point lies within `within` of `near` (0: within the radius).
struct Search {
    PointD near;
    double radius = 0;
    double within = 0;
    // How far the point may lie outside the corner, a share of `within`: a finger falls a little
    // outside the corner it means; a corner followed may have moved anywhere near its prediction.
    double outside = 0.7;
};

// An edge whose angle is known no better than this many degrees (about 95 %) cannot fix a
// corner's angle: too short, too faint or too rough for it.
inline constexpr double kMostDoubtDeg = 2.5;

// Why nothing was found, with what was seen. Two: two corners fit the point about as well.
enum class Why { Found, Nothing, Away, Bends, Short, Faint, Two };
struct Look {
    Why why = Why::Nothing;
    double away = 0; // Away: picture pixels from `near` to the nearest corner's meeting point
    double bend = 0; // Bends: degrees between the edge's near and far halves
};
struct CornerLook : Look {
    std::optional<Corner> corner;
};
struct EdgeLook : Look {
    std::optional<Edge> edge;
};

// The part of a picture within a search's reach, grey and at full resolution: cut while the
// picture is lent, then searched on any thread (the window keeps drawing meanwhile).
class PicturePart {
public:
    struct Data;
    PicturePart();
    explicit PicturePart(std::unique_ptr<Data> data);
    ~PicturePart();
    PicturePart(PicturePart&&) noexcept;
    PicturePart& operator=(PicturePart&&) noexcept;
    // Nothing to search: the search reached no 16 x 16 pixels of the picture.
    bool Empty() const { return !m_pData; }
    const Data* Get() const { return m_pData.get(); }

private:
    std::unique_ptr<Data> m_pData;
};

PicturePart CutPart(const device::PixelView& picture, Search search);

// The straight edge nearest `search.near` whose line passes within `tolerance` pixels of
// `through`, its fitted stretch within `search.within` of the point; none when no edge there
// fits. `part` was cut for the same search.
std::optional<Edge> FindEdgeThrough(const PicturePart& part, Search search, PointD through, double tolerance);

// The two edges that meet nearest `search.near`, and where they meet; none when no two do.
std::optional<Corner> FindCorner(const PicturePart& part, Search search);
// The same, saying why when none is found: the corner under the point or none.
CornerLook LookForCorner(const PicturePart& part, Search search);
EdgeLook LookForEdgeThrough(const PicturePart& part, Search search, PointD through, double tolerance);

// The same, cutting the part first.
std::optional<Edge> FindEdgeThrough(const device::PixelView& picture, Search search, PointD through, double tolerance);
std::optional<Corner> FindCorner(const device::PixelView& picture, Search search);

} // namespace instrument
