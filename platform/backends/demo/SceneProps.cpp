// Draws the small things on the bench with cairo; of them only the watch's hands move.
#include "SceneProps.h"

#include <algorithm>
#include <cstdint>

#include "ScenePaint.h"

namespace demo::scene {

void DrawPencil(cairo_t* cr)
{
    // A flat carpenter's pencil lying in the lower right, away from every measured edge.
    Pt tip{592.0, 452.0};
    Pt axis = Dir(17.0);
    Pt n{-axis.y, axis.x};
    double len = 200.0, w = 13.0;
    Pt woodEnd = tip + 26.0 * axis, back = tip + len * axis;
    auto body = [&] {
        Polygon(cr, {tip + 1.5 * n, woodEnd + w * n, back + w * n, back - w * n, woodEnd - w * n, tip - 1.5 * n});
    };
    SoftShadow(cr, body, 4.0);
    Polygon(cr, {woodEnd + w * n, back + w * n, back - w * n, woodEnd - w * n});
    Rgb(cr, 0xb3261e);
    cairo_fill(cr);
    Polygon(cr, {woodEnd + 0.2 * w * n, back + 0.2 * w * n, back - 0.35 * w * n, woodEnd - 0.35 * w * n});
    Rgb(cr, 0xd94a3a, 0.7);
    cairo_fill(cr);
    Polygon(cr, {tip + 1.5 * n, woodEnd + w * n, woodEnd - w * n, tip - 1.5 * n});
    Rgb(cr, 0xdcb98a);
    cairo_fill(cr);
    Polygon(cr, {tip + 1.5 * n, tip + 9.0 * axis + 2.6 * n, tip + 9.0 * axis - 2.6 * n, tip - 1.5 * n});
    Rgb(cr, 0x2b2b2e);
    cairo_fill(cr);
    Polygon(cr, {back + w * n, back + 1.0 * axis + w * n, back + 1.0 * axis - w * n, back - w * n});
    Rgb(cr, 0xe8c89a);
    cairo_fill(cr);
}

void Screw(cairo_t* cr, Pt head, double angleDeg, double length)
{
    Pt axis = Dir(angleDeg);
    Pt n{-axis.y, axis.x};
    Pt end = head + length * axis, taper = head + 0.72 * length * axis;
    auto shank = [&] { Polygon(cr, {head + 2.8 * n, taper + 2.6 * n, end, taper - 2.6 * n, head - 2.8 * n}); };
    SoftShadow(
        cr,
        [&] {
            shank();
            cairo_new_sub_path(cr);
            cairo_arc(cr, head.x, head.y, 7.0, 0, 2 * kPi);
        },
        2.5);
    shank();
    Rgb(cr, 0xc9a650);
    cairo_fill(cr);
    for (double s = 8.0; s < length - 3.0; s += 3.2) {
        Pt p = head + s * axis;
        double hw = s < 0.72 * length ? 2.7 : 2.6 * (length - s) / (0.28 * length) + 0.3;
        cairo_move_to(cr, p.x + hw * n.x, p.y + hw * n.y);
        cairo_line_to(cr, p.x - hw * n.x + 1.6 * axis.x, p.y - hw * n.y + 1.6 * axis.y);
    }
    Rgb(cr, 0x6e5320, 0.8);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_pattern_t* brass = cairo_pattern_create_radial(head.x - 2, head.y - 2, 0.5, head.x, head.y, 7.0);
    cairo_pattern_add_color_stop_rgb(brass, 0.0, 0.98, 0.88, 0.58);
    cairo_pattern_add_color_stop_rgb(brass, 1.0, 0.66, 0.50, 0.20);
    cairo_arc(cr, head.x, head.y, 7.5, 0, 2 * kPi);
    cairo_set_source(cr, brass);
    cairo_fill(cr);
    cairo_pattern_destroy(brass);
    Pt slot = 5.0 * Dir(angleDeg + 60.0), cross = 5.0 * Dir(angleDeg + 150.0);
    cairo_move_to(cr, head.x - slot.x, head.y - slot.y);
    cairo_line_to(cr, head.x + slot.x, head.y + slot.y);
    cairo_move_to(cr, head.x - cross.x, head.y - cross.y);
    cairo_line_to(cr, head.x + cross.x, head.y + cross.y);
    Rgb(cr, 0x5a4218, 0.9);
    cairo_set_line_width(cr, 1.4);
    cairo_stroke(cr);
}

void Shaving(cairo_t* cr, Pt c, double r, double startDeg, double turns)
{
    cairo_save(cr);
    cairo_translate(cr, c.x, c.y);
    for (int pass = 0; pass < 2; ++pass) {
        for (double t = 0; t <= turns * 360.0; t += 6.0) {
            double rr = r * (1.0 - 0.45 * t / (turns * 360.0));
            Pt p = rr * Dir(startDeg + t);
            if (pass == 1) p = p + Pt{0.8, -0.8};
            if (t == 0)
                cairo_move_to(cr, p.x, p.y);
            else
                cairo_line_to(cr, p.x, p.y);
        }
        if (pass == 0) {
            cairo_set_source_rgba(cr, 0.12, 0.06, 0.02, 0.35);
            cairo_set_line_width(cr, 6.0);
        } else {
            Rgb(cr, 0xe9cd9c, 0.95);
            cairo_set_line_width(cr, 4.0);
        }
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

void DrawWatchBody(cairo_t* cr)
{
    Pt c = kWatchCentre;
    // The chain trails off to the left under the case.
    cairo_save(cr);
    cairo_move_to(cr, c.x, c.y - kWatchCase - 10.0);
    cairo_curve_to(cr, c.x - 70, c.y - 120, c.x - 150, c.y - 40, c.x - 160, c.y + 60);
    cairo_set_source_rgba(cr, 0.05, 0.03, 0.01, 0.35);
    cairo_set_line_width(cr, 5.0);
    cairo_stroke_preserve(cr);
    double dash[] = {4.0, 2.0};
    cairo_set_dash(cr, dash, 2, 0.0);
    Rgb(cr, 0xd8b460);
    cairo_set_line_width(cr, 3.2);
    cairo_stroke(cr);
    cairo_restore(cr);

    SoftShadow(
        cr, [&] { cairo_arc(cr, c.x, c.y, kWatchCase, 0, 2 * kPi); }, 6.0);
    // Crown and bow at twelve.
    cairo_arc(cr, c.x, c.y - kWatchCase - 9.0, 9.0, 0, 2 * kPi);
    Rgb(cr, 0xb8922e);
    cairo_set_line_width(cr, 3.0);
    cairo_stroke(cr);
    cairo_rectangle(cr, c.x - 6, c.y - kWatchCase - 8, 12, 10);
    Rgb(cr, 0xc9a240);
    cairo_fill(cr);

    cairo_pattern_t* gold =
        cairo_pattern_create_linear(c.x - kWatchCase, c.y - kWatchCase, c.x + kWatchCase, c.y + kWatchCase);
    cairo_pattern_add_color_stop_rgb(gold, 0.0, 0.98, 0.86, 0.50);
    cairo_pattern_add_color_stop_rgb(gold, 0.45, 0.78, 0.58, 0.20);
    cairo_pattern_add_color_stop_rgb(gold, 1.0, 0.52, 0.36, 0.10);
    cairo_arc(cr, c.x, c.y, kWatchCase, 0, 2 * kPi);
    cairo_set_source(cr, gold);
    cairo_fill(cr);
    cairo_pattern_destroy(gold);
    cairo_arc(cr, c.x, c.y, kWatchFace + 3.0, 0, 2 * kPi);
    Rgb(cr, 0x6a4a14, 0.8);
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);

    cairo_pattern_t* enamel = cairo_pattern_create_radial(c.x - 10, c.y - 12, 4, c.x, c.y, kWatchFace);
    cairo_pattern_add_color_stop_rgb(enamel, 0.0, 1.0, 0.99, 0.95);
    cairo_pattern_add_color_stop_rgb(enamel, 1.0, 0.90, 0.87, 0.80);
    cairo_arc(cr, c.x, c.y, kWatchFace, 0, 2 * kPi);
    cairo_set_source(cr, enamel);
    cairo_fill(cr);
    cairo_pattern_destroy(enamel);

    for (int m = 0; m < 60; ++m) {
        Pt d = Dir(90.0 - m * 6.0);
        bool hour = m % 5 == 0;
        double r0 = kWatchFace - (hour ? 11.0 : 5.0), r1 = kWatchFace - 2.5;
        cairo_move_to(cr, c.x + r0 * d.x, c.y + r0 * d.y);
        cairo_line_to(cr, c.x + r1 * d.x, c.y + r1 * d.y);
        Rgb(cr, 0x1d1a17);
        cairo_set_line_width(cr, hour ? (m % 15 == 0 ? 3.4 : 2.2) : 0.8);
        cairo_stroke(cr);
    }
}

void DrawWatchHands(cairo_t* cr, double seconds)
{
    Pt c = kWatchCentre;
    // Shows ten past ten and half a minute when the device starts; the balance beats
    // eight times a second and every hand steps with it, so the watch looks the same
    // between two beats.
    double t = 10 * 3600.0 + 9 * 60.0 + 30.0 + seconds;
    double beat = std::floor(t * 8.0) / 8.0;
    double secDeg = std::fmod(beat, 60.0) * 6.0;
    double minDeg = std::fmod(beat / 60.0, 60.0) * 6.0;
    double hourDeg = std::fmod(beat / 3600.0, 12.0) * 30.0;

    auto hand = [&](double clockDeg, double length, double tail, double width, std::uint32_t rgb, Pt shift,
                    double alpha) {
        Pt d = Dir(90.0 - clockDeg);
        Pt n{-d.y, d.x};
        Pt base = c + shift;
        Polygon(cr, {base - tail * d + 0.6 * width * n, base + length * d, base - tail * d - 0.6 * width * n});
        cairo_new_sub_path(cr);
        cairo_arc(cr, base.x, base.y, width * 0.9, 0, 2 * kPi);
        Rgb(cr, rgb, alpha);
        cairo_fill(cr);
    };
    Pt shadow{1.6, 2.2}, none{0, 0};
    hand(hourDeg, 30.0, 6.0, 5.0, 0x000000, shadow, 0.22);
    hand(minDeg, 44.0, 7.0, 3.8, 0x000000, shadow, 0.22);
    hand(secDeg, 48.0, 13.0, 1.8, 0x000000, shadow, 0.22);
    hand(hourDeg, 30.0, 6.0, 5.0, 0x1a1714, none, 1.0);
    hand(minDeg, 44.0, 7.0, 3.8, 0x1a1714, none, 1.0);
    hand(secDeg, 48.0, 13.0, 1.8, 0xc0201a, none, 1.0);
    cairo_arc(cr, c.x, c.y, 2.2, 0, 2 * kPi);
    Rgb(cr, 0xe0c070);
    cairo_fill(cr);

    cairo_save(cr);
    cairo_arc(cr, c.x, c.y, kWatchFace, 0, 2 * kPi);
    cairo_clip(cr);
    cairo_arc(cr, c.x - 14, c.y - 16, kWatchFace * 0.95, kPi * 1.05, kPi * 1.55);
    cairo_arc_negative(cr, c.x - 6, c.y - 6, kWatchFace * 0.82, kPi * 1.55, kPi * 1.05);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
    cairo_fill(cr);
    cairo_restore(cr);
}

} // namespace demo::scene
