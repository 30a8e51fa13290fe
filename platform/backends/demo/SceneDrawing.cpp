// Draws the demo scene with cairo: a walnut workbench from above with the two things to measure on
// it, a roof-truss model and a set square, among the small things of SceneProps.cpp.
#include "SceneGeometry.h"
#include "ScenePaint.h"
#include "SceneProps.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

namespace demo::scene {
namespace {

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
        SoftShadow(
            cr,
            [&] {
                Polygon(cr, {strutTop + n, end + n, end - n, strutTop - n});
            },
            3.0);
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
    if ((inward.x * (P.x - A.x) + inward.y * (P.y - A.y)) < 0) inward = -1.0 * inward;
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
