// Draws the demo scene with cairo: a walnut workbench from above, a roof-truss model, a set square,
// a pocket watch that keeps ticking, a pencil, screws and shavings; the watch hands are all that move.
#include "SceneGeometry.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

namespace demo::scene {
namespace {

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

void Rgb(cairo_t* cr, std::uint32_t rgb, double a = 1.0)
{
    cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, a);
}

void Polygon(cairo_t* cr, std::initializer_list<Pt> pts)
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
void Grain(cairo_t* cr, Rng& rng, Pt origin, Pt axis, double length, double across, int lines,
           std::uint32_t dark, std::uint32_t light, double strength)
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

void Knot(cairo_t* cr, Pt c, double rx, double ry)
{
    cairo_save(cr);
    cairo_translate(cr, c.x, c.y);
    cairo_scale(cr, rx, ry);
    for (int ring = 4; ring >= 1; --ring) {
        cairo_arc(cr, 0, 0, ring / 4.0, 0, 2 * kPi);
        cairo_save(cr);
        cairo_identity_matrix(cr);
        Rgb(cr, 0x2a170c, 0.16 + 0.1 * (4 - ring));
        cairo_set_line_width(cr, 1.4);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
    cairo_arc(cr, 0, 0, 0.3, 0, 2 * kPi);
    Rgb(cr, 0x2a170c, 0.55);
    cairo_fill(cr);
    cairo_restore(cr);
}

void DrawBench(cairo_t* cr)
{
    Rgb(cr, 0x5a3c28);
    cairo_paint(cr);

    // Boards run left to right; no seam passes near either dial centre.
    const double seams[] = {-90.0, 35.0, 158.0, 281.0, 404.0, 530.0};
    const std::uint32_t tones[] = {0x5e3f2a, 0x563924, 0x62422c, 0x583a26, 0x5c3e29};
    Rng rng(20240611u);
    for (int b = 0; b < 5; ++b) {
        double y0 = seams[b], y1 = seams[b + 1];
        cairo_save(cr);
        cairo_rectangle(cr, -40, y0, 880, y1 - y0);
        cairo_clip(cr);
        cairo_pattern_t* tone = cairo_pattern_create_linear(-40, 0, 840, 0);
        std::uint32_t t = tones[b];
        double r = ((t >> 16) & 0xFF) / 255.0, g = ((t >> 8) & 0xFF) / 255.0, bl = (t & 0xFF) / 255.0;
        cairo_pattern_add_color_stop_rgb(tone, 0.0, r * 0.96, g * 0.96, bl * 0.96);
        cairo_pattern_add_color_stop_rgb(tone, 0.5, r * 1.04, g * 1.03, bl * 1.02);
        cairo_pattern_add_color_stop_rgb(tone, 1.0, r * 0.97, g * 0.97, bl * 0.97);
        cairo_set_source(cr, tone);
        cairo_paint(cr);
        cairo_pattern_destroy(tone);
        Grain(cr, rng, {-40, y0}, {1, 0}, 880, y1 - y0, 46, 0x2e1c10, 0x8a6444, 0.32);
        cairo_restore(cr);
    }
    Knot(cr, {612, 52}, 16, 6);
    Knot(cr, {66, 330}, 12, 5);
    Knot(cr, {735, 452}, 10, 4);

    for (int b = 1; b < 5; ++b) {
        cairo_move_to(cr, -40, seams[b]);
        cairo_line_to(cr, 840, seams[b]);
        Rgb(cr, 0x1c110a, 0.85);
        cairo_set_line_width(cr, 2.2);
        cairo_stroke(cr);
        cairo_move_to(cr, -40, seams[b] + 1.9);
        cairo_line_to(cr, 840, seams[b] + 1.9);
        Rgb(cr, 0xa07858, 0.22);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
    }

    // A lamp at the upper left, and the fall-off a phone camera adds towards the corners.
    cairo_pattern_t* lamp = cairo_pattern_create_radial(190, 60, 0, 190, 60, 720);
    cairo_pattern_add_color_stop_rgba(lamp, 0.0, 1.0, 0.93, 0.8, 0.13);
    cairo_pattern_add_color_stop_rgba(lamp, 1.0, 1.0, 0.93, 0.8, 0.0);
    cairo_set_source(cr, lamp);
    cairo_paint(cr);
    cairo_pattern_destroy(lamp);
    cairo_pattern_t* vignette = cairo_pattern_create_radial(400, 240, 260, 400, 240, 560);
    cairo_pattern_add_color_stop_rgba(vignette, 0.0, 0, 0, 0, 0.0);
    cairo_pattern_add_color_stop_rgba(vignette, 1.0, 0, 0, 0, 0.38);
    cairo_set_source(cr, vignette);
    cairo_paint(cr);
    cairo_pattern_destroy(vignette);
}

// Pale pine with its grain along the member, a faint darker rim to give it thickness.
void PineMember(cairo_t* cr, Rng& rng, std::initializer_list<Pt> outline, Pt origin, Pt axis, double length,
                double width)
{
    cairo_save(cr);
    Polygon(cr, outline);
    cairo_clip_preserve(cr);
    Rgb(cr, 0xe4c594);
    cairo_fill(cr);
    Grain(cr, rng, origin, axis, length, width, 9, 0xb07c48, 0xf6e2bc, 0.45);
    Polygon(cr, outline);
    Rgb(cr, 0x8a5a2c, 0.35);
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);
    cairo_restore(cr);
}

// A galvanised nail plate: punched teeth in rows.
void NailPlate(cairo_t* cr, Pt c, double w, double h, double angleDeg)
{
    cairo_save(cr);
    cairo_translate(cr, c.x, c.y);
    cairo_rotate(cr, -angleDeg * kPi / 180.0);
    cairo_rectangle(cr, -w / 2 + 0.8, -h / 2 + 1.2, w, h);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_fill(cr);
    cairo_pattern_t* metal = cairo_pattern_create_linear(-w / 2, -h / 2, w / 2, h / 2);
    cairo_pattern_add_color_stop_rgb(metal, 0.0, 0.84, 0.86, 0.87);
    cairo_pattern_add_color_stop_rgb(metal, 0.5, 0.68, 0.71, 0.73);
    cairo_pattern_add_color_stop_rgb(metal, 1.0, 0.78, 0.80, 0.82);
    cairo_rectangle(cr, -w / 2, -h / 2, w, h);
    cairo_set_source(cr, metal);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(metal);
    Rgb(cr, 0x4a4f54, 0.8);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    for (double y = -h / 2 + 4; y <= h / 2 - 3; y += 5.0)
        for (double x = -w / 2 + 4 + (int(y) % 2 ? 2 : 0); x <= w / 2 - 4; x += 6.0) {
            cairo_rectangle(cr, x, y, 2.2, 1.2);
            Rgb(cr, 0x30343a, 0.7);
            cairo_fill(cr);
        }
    cairo_restore(cr);
}

void DrawTruss(cairo_t* cr)
{
    const Geometry& g = Geo();
    Pt L = g.apex;
    Pt dl = Dir(g.LeftRafterDeg()), dr = Dir(g.RightRafterDeg());
    Pt hl = g.LeftHeel(), hr = g.RightHeel();
    double top = g.TieTop(), bottom = top + g.tieWidth;
    // Inward normals of the rafters and the inner corner of the mitred ridge joint.
    Pt nl = Dir(g.LeftRafterDeg() - 90.0), nr = Dir(g.RightRafterDeg() + 90.0);
    double ridgeHalf = (g.LeftRafterDeg() - g.RightRafterDeg()) / 2.0;
    Pt inner = L + (g.rafterWidth / std::sin(ridgeHalf * kPi / 180.0)) * Dir(90.0);
    Pt lInner = L + g.rafterWidth * nl, rInner = L + g.rafterWidth * nr;
    Pt lOutBottom = AtY(L, dl, bottom), rOutBottom = AtY(L, dr, bottom);
    Pt lInBottom = AtY(lInner, dl, bottom), rInBottom = AtY(rInner, dr, bottom);

    auto outline = [&] { Polygon(cr, {L, hr, hl}); };
    SoftShadow(cr, outline, 7.0);

    Rng rng(77u);
    // Two struts from the middle of the tie beam to the rafters, tucked under the members.
    cairo_save(cr);
    Polygon(cr, {L, hr, hl});
    cairo_clip(cr);
    Pt strutTop{400.0, bottom - 4.0};
    for (Pt along : {dl, dr}) {
        Pt ins = (along.x < 0) ? lInner : rInner;
        Pt target = ins + 0.42 * g.rafterLength * along;
        Pt axis = target - strutTop;
        double len = std::hypot(axis.x, axis.y);
        axis = (1.0 / len) * axis;
        Pt n{-axis.y * 9.0, axis.x * 9.0};
        Pt end = target + 14.0 * axis;
        SoftShadow(cr, [&] { Polygon(cr, {strutTop + n, end + n, end - n, strutTop - n}); }, 3.0);
        PineMember(cr, rng, {strutTop + n, end + n, end - n, strutTop - n}, strutTop - n, axis, len + 14.0, 18.0);
    }
    cairo_restore(cr);

    PineMember(cr, rng, {L, lOutBottom, lInBottom, inner}, L, dl, g.rafterLength, g.rafterWidth);
    PineMember(cr, rng, {L, inner, rInBottom, rOutBottom}, L, dr, g.rafterLength, g.rafterWidth);
    PineMember(cr, rng, {hl, hr, rOutBottom, lOutBottom}, hl, {1, 0}, hr.x - hl.x, g.tieWidth);

    // Joint lines where the pieces butt together.
    cairo_move_to(cr, L.x, L.y - 1.0);
    cairo_line_to(cr, inner.x, inner.y);
    cairo_move_to(cr, lInBottom.x, lInBottom.y);
    cairo_line_to(cr, rInBottom.x, rInBottom.y);
    Rgb(cr, 0x5a3618, 0.55);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    NailPlate(cr, {400.0, 436.0}, 26.0, 34.0, 0.0);
    NailPlate(cr, {400.0, top + 26.0}, 40.0, 30.0, 0.0);
    NailPlate(cr, {hl.x + 60.0, top + 17.0}, 34.0, 22.0, 0.0);
    NailPlate(cr, {hr.x - 60.0, top + 17.0}, 34.0, 22.0, 0.0);
}

// Orange acrylic 30/60/90 set square with a cut-out and a printed scale along the long leg.
void DrawSetSquare(cairo_t* cr)
{
    const Geometry& g = Geo();
    Pt P = g.squareCorner, A = g.SquareA(), B = g.SquareB();
    // The cut-out: the same triangle shrunk towards the incentre.
    double a = std::hypot(B.x - A.x, B.y - A.y), b = std::hypot(B.x - P.x, B.y - P.y), c = g.squareShortLeg;
    Pt incentre = (1.0 / (a + b + c)) * (a * P + b * A + c * B);
    auto shrink = [&](Pt p) { return incentre + 0.52 * (p - incentre); };
    Pt p2 = shrink(P), a2 = shrink(A), b2 = shrink(B);
    auto shape = [&] {
        Polygon(cr, {P, A, B});
        Polygon(cr, {p2, b2, a2});
    };

    cairo_save(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    SoftShadow(cr, shape, 5.0);
    shape();
    cairo_clip_preserve(cr);
    cairo_pattern_t* body = cairo_pattern_create_linear(P.x, P.y, B.x, A.y);
    cairo_pattern_add_color_stop_rgba(body, 0.0, 0.99, 0.50, 0.12, 0.90);
    cairo_pattern_add_color_stop_rgba(body, 1.0, 0.96, 0.40, 0.08, 0.88);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    // Polished edges catch the lamp: a light line just inside every edge.
    shape();
    cairo_set_source_rgba(cr, 1.0, 0.85, 0.6, 0.55);
    cairo_set_line_width(cr, 3.0);
    cairo_stroke(cr);

    // Scale printed along the long leg, kept inside so the leg's edge stays clean.
    Pt along = (1.0 / a) * (B - A);
    Pt inward{-along.y, along.x};
    if ((inward.x * (P.x - A.x) + inward.y * (P.y - A.y)) < 0)
        inward = -1.0 * inward;
    for (int mm = 0; mm * 4.0 < a - 40.0; ++mm) {
        double s = 20.0 + mm * 4.0;
        double len = (mm % 10 == 0) ? 14.0 : (mm % 5 == 0) ? 10.0 : 6.0;
        Pt p0 = A + s * along + 5.0 * inward;
        Pt p1 = p0 + len * inward;
        cairo_move_to(cr, p0.x, p0.y);
        cairo_line_to(cr, p1.x, p1.y);
    }
    cairo_set_source_rgba(cr, 0.25, 0.08, 0.02, 0.75);
    cairo_set_line_width(cr, 0.9);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void DrawPencil(cairo_t* cr)
{
    // A flat carpenter's pencil lying in the lower right, away from every measured edge.
    Pt tip{592.0, 452.0};
    Pt axis = Dir(17.0);
    Pt n{-axis.y, axis.x};
    double len = 200.0, w = 13.0;
    Pt woodEnd = tip + 26.0 * axis, back = tip + len * axis;
    auto body = [&] { Polygon(cr, {tip + 1.5 * n, woodEnd + w * n, back + w * n, back - w * n, woodEnd - w * n, tip - 1.5 * n}); };
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
    SoftShadow(cr, [&] {
        shank();
        cairo_new_sub_path(cr);
        cairo_arc(cr, head.x, head.y, 7.0, 0, 2 * kPi);
    }, 2.5);
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

// A curl of pine shaving: a loose spiral ribbon.
void Shaving(cairo_t* cr, Pt c, double r, double startDeg, double turns)
{
    cairo_save(cr);
    cairo_translate(cr, c.x, c.y);
    for (int pass = 0; pass < 2; ++pass) {
        for (double t = 0; t <= turns * 360.0; t += 6.0) {
            double rr = r * (1.0 - 0.45 * t / (turns * 360.0));
            Pt p = rr * Dir(startDeg + t);
            if (pass == 1)
                p = p + Pt{0.8, -0.8};
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

    SoftShadow(cr, [&] { cairo_arc(cr, c.x, c.y, kWatchCase, 0, 2 * kPi); }, 6.0);
    // Crown and bow at twelve.
    cairo_arc(cr, c.x, c.y - kWatchCase - 9.0, 9.0, 0, 2 * kPi);
    Rgb(cr, 0xb8922e);
    cairo_set_line_width(cr, 3.0);
    cairo_stroke(cr);
    cairo_rectangle(cr, c.x - 6, c.y - kWatchCase - 8, 12, 10);
    Rgb(cr, 0xc9a240);
    cairo_fill(cr);

    cairo_pattern_t* gold = cairo_pattern_create_linear(c.x - kWatchCase, c.y - kWatchCase, c.x + kWatchCase, c.y + kWatchCase);
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

// The hands, their shadows and the glass glare over them: everything that changes with time.
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

} // namespace

void DrawScene(cairo_t* cr, Layer layer, double seconds)
{
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
    if (layer == Layer::Moving) {
        DrawWatchHands(cr, seconds);
        return;
    }
    DrawBench(cr);
    Screw(cr, {92, 416}, 20.0, 44.0);
    Screw(cr, {150, 452}, 155.0, 44.0);
    Screw(cr, {56, 456}, 80.0, 36.0);
    Shaving(cr, {262, 452}, 15.0, 40.0, 1.6);
    Shaving(cr, {748, 214}, 13.0, 200.0, 1.4);
    Shaving(cr, {770, 262}, 10.0, 100.0, 1.2);
    DrawPencil(cr);
    DrawTruss(cr);
    DrawSetSquare(cr);
    DrawWatchBody(cr);
}

} // namespace demo::scene
