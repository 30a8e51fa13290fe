// The demo scene's brushes: a repeatable random source for grain, colours, outlines, soft
// shadows and wood grain, shared by everything drawn on the bench.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "SceneGeometry.h"

namespace demo::scene {

// Small deterministic generator: the grain must come out the same on every machine and run.
class Rng {
public:
    explicit Rng(std::uint32_t seed) : m_state(seed ? seed : 1u) {}
    double Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return (m_state & 0xFFFFFFu) / double(0x1000000);
    }
    double Range(double lo, double hi) { return lo + (hi - lo) * Next(); }

private:
    std::uint32_t m_state;
};

inline void Rgb(cairo_t* cr, std::uint32_t rgb, double a = 1.0)
{
    cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, a);
}

inline void Polygon(cairo_t* cr, std::initializer_list<Pt> pts)
{
    bool first = true;
    for (Pt p : pts) {
        if (first)
            cairo_move_to(cr, p.x, p.y);
        else
            cairo_line_to(cr, p.x, p.y);
        first = false;
    }
    cairo_close_path(cr);
}

// A soft contact shadow: the outline laid down several times, each a little wider and fainter,
// offset away from the lamp at the upper left.
template <typename PathFn>
void SoftShadow(cairo_t* cr, PathFn path, double lift)
{
    cairo_save(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (int i = 5; i >= 0; --i) {
        cairo_save(cr);
        cairo_translate(cr, lift * 0.55, lift * 0.85);
        path();
        cairo_set_source_rgba(cr, 0.06, 0.03, 0.01, 0.07);
        cairo_set_line_width(cr, 1.0 + i * lift * 0.45);
        cairo_fill_preserve(cr);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
    cairo_restore(cr);
}

// Long wavy grain lines across a board running along `axis`, clipped to the current path's
// region by the caller.
void Grain(cairo_t* cr, Rng& rng, Pt origin, Pt axis, double length, double across, int lines, std::uint32_t dark,
           std::uint32_t light, double strength);

} // namespace demo::scene
