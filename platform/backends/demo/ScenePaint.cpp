// Wood grain, drawn line by line from a seeded source so every run draws the same board.
#include "ScenePaint.h"

namespace demo::scene {

void Grain(cairo_t* cr, Rng& rng, Pt origin, Pt axis, double length, double across, int lines, std::uint32_t dark,
           std::uint32_t light, double strength)
{
    Pt normal{-axis.y, axis.x};
    for (int i = 0; i < lines; ++i) {
        double offset = rng.Range(-0.05, 1.05) * across;
        double amp = rng.Range(0.4, 3.5);
        double freq = rng.Range(0.004, 0.02);
        double phase = rng.Range(0.0, 2.0 * kPi);
        double drift = rng.Range(-0.012, 0.012);
        for (double s = -20.0; s <= length + 20.0; s += 12.0) {
            double o = offset + amp * std::sin(freq * s + phase) + drift * s;
            Pt p = origin + s * axis + o * normal;
            if (s == -20.0)
                cairo_move_to(cr, p.x, p.y);
            else
                cairo_line_to(cr, p.x, p.y);
        }
        bool isDark = rng.Next() < 0.7;
        Rgb(cr, isDark ? dark : light, strength * rng.Range(0.35, 1.0));
        cairo_set_line_width(cr, rng.Range(0.6, 2.4));
        cairo_stroke(cr);
    }
}

} // namespace demo::scene
