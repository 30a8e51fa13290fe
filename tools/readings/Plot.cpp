// Drawing the series: runs of readings as a line inside its band, each lost or refused stretch
// shaded halfway to the readings either side, and ticks at 1, 2 or 5 times a power of ten.
#include "Plot.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "codec/ImageCodec.h"
#include "files/OutputPath.h"
#include "files/SideFile.h"

namespace readings {

namespace {

// A tick step giving about `ticks` labelled ticks over `span`.
double NiceStep(double span, int ticks)
{
    const double raw = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw) return m * power;
    }
    return 10 * power;
}

void Colour(cairo_t* cr, unsigned rgb, double alpha = 1)
{
    cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha);
}

std::string Label(double v, double step)
{
    const int decimals = step >= 1 ? 0 : std::min(6, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, std::abs(v) < step * 1e-6 ? 0.0 : v);
    return text;
}

void Text(cairo_t* cr, const std::string& text, double x, double y, double alignX, double alignY)
{
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    cairo_move_to(cr, x - e.x_bearing - e.width * alignX, y - e.y_bearing - e.height * alignY);
    cairo_show_text(cr, text.c_str());
}

void Draw(cairo_t* cr, const std::vector<SeriesRow>& rows, const PlotLayout& l)
{
    Colour(cr, 0xffffff);
    cairo_paint(cr);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 13);
    cairo_save(cr);
    cairo_rectangle(cr, l.left, l.top, l.right - l.left, l.bottom - l.top);
    cairo_clip(cr);
    // The stretches where nothing was read, each frame's half of the time to its neighbours:
    // a lone reading between losses keeps its own unshaded half-frames either side.
    for (std::size_t i = 0; i < rows.size(); i++) {
        if (rows[i].angle) continue;
        const double from = i > 0 ? (rows[i - 1].timeS + rows[i].timeS) / 2 : rows[i].timeS;
        std::size_t j = i;
        while (j + 1 < rows.size() && !rows[j + 1].angle) j++;
        const double to = j + 1 < rows.size() ? (rows[j].timeS + rows[j + 1].timeS) / 2 : rows[j].timeS;
        const double x0 = l.X(from), x1 = std::max(l.X(to), x0 + 3);
        Colour(cr, kGapColour);
        cairo_rectangle(cr, x0, l.top, x1 - x0, l.bottom - l.top);
        cairo_fill(cr);
        i = j;
    }
    // Grid lines at the ticks.
    Colour(cr, 0xdddddd);
    cairo_set_line_width(cr, 1);
    for (double t = std::ceil(l.t0 / l.tStep) * l.tStep; t <= l.t1 + l.tStep * 1e-6; t += l.tStep) {
        cairo_move_to(cr, std::round(l.X(t)) + 0.5, l.top);
        cairo_line_to(cr, std::round(l.X(t)) + 0.5, l.bottom);
    }
    for (double a = std::ceil(l.a0 / l.aStep) * l.aStep; a <= l.a1 + l.aStep * 1e-6; a += l.aStep) {
        cairo_move_to(cr, l.left, std::round(l.Y(a)) + 0.5);
        cairo_line_to(cr, l.right, std::round(l.Y(a)) + 0.5);
    }
    cairo_stroke(cr);
    // Each run of readings: its band, then its line (a lone reading is a dot in a bar).
    for (std::size_t i = 0; i < rows.size();) {
        if (!rows[i].angle) {
            i++;
            continue;
        }
        std::size_t end = i;
        while (end < rows.size() && rows[end].angle) end++;
        const auto u = [&](std::size_t k) { return rows[k].uncertainty.value_or(0); };
        Colour(cr, kBandColour);
        if (end - i == 1) {
            cairo_rectangle(cr, l.X(rows[i].timeS) - 3, l.Y(*rows[i].angle + u(i)) - 1, 6,
                            l.Y(*rows[i].angle - u(i)) - l.Y(*rows[i].angle + u(i)) + 2);
        } else {
            for (std::size_t k = i; k < end; k++) cairo_line_to(cr, l.X(rows[k].timeS), l.Y(*rows[k].angle + u(k)));
            for (std::size_t k = end; k-- > i;) cairo_line_to(cr, l.X(rows[k].timeS), l.Y(*rows[k].angle - u(k)));
            cairo_close_path(cr);
        }
        cairo_fill(cr);
        Colour(cr, kLineColour);
        cairo_set_line_width(cr, 1.5);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        if (end - i == 1) {
            cairo_arc(cr, l.X(rows[i].timeS), l.Y(*rows[i].angle), 3, 0, 2 * M_PI);
            cairo_fill(cr);
        } else {
            for (std::size_t k = i; k < end; k++) cairo_line_to(cr, l.X(rows[k].timeS), l.Y(*rows[k].angle));
            cairo_stroke(cr);
        }
        i = end;
    }
    cairo_restore(cr);
    // The axes, their ticks and labels.
    Colour(cr, 0x222222);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, l.left + 0.5, l.top + 0.5, l.right - l.left - 1, l.bottom - l.top - 1);
    cairo_stroke(cr);
    for (double t = std::ceil(l.t0 / l.tStep) * l.tStep; t <= l.t1 + l.tStep * 1e-6; t += l.tStep) {
        cairo_move_to(cr, std::round(l.X(t)) + 0.5, l.bottom);
        cairo_line_to(cr, std::round(l.X(t)) + 0.5, l.bottom + 5);
        Text(cr, Label(t, l.tStep), l.X(t), l.bottom + 9, 0.5, 0);
    }
    for (double a = std::ceil(l.a0 / l.aStep) * l.aStep; a <= l.a1 + l.aStep * 1e-6; a += l.aStep) {
        cairo_move_to(cr, l.left - 5, std::round(l.Y(a)) + 0.5);
        cairo_line_to(cr, l.left, std::round(l.Y(a)) + 0.5);
        Text(cr, Label(a, l.aStep), l.left - 9, l.Y(a), 1, 0.5);
    }
    cairo_stroke(cr);
    // A series read from a live camera or the demo scene keeps the run's time, not a video's.
    const bool video = std::any_of(rows.begin(), rows.end(), [](const SeriesRow& r) { return r.timeFrom != "run"; });
    Text(cr, video ? "time in the video (s)" : "time in the run (s)", (l.left + l.right) / 2, l.height - 8, 0.5, 1);
    cairo_save(cr);
    cairo_translate(cr, 16, (l.top + l.bottom) / 2);
    cairo_rotate(cr, -M_PI / 2);
    Text(cr, "angle (\u00b0)", 0, 0, 0.5, 0.5);
    cairo_restore(cr);
    Text(cr, "line: the angle read   band: its uncertainty   shaded: lost or refused", l.left, 14, 0, 0.5);
}

bool EndsWith(std::string name, const char* ext)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const std::size_t n = std::strlen(ext);
    return name.size() > n && name.compare(name.size() - n, n, ext) == 0;
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

bool WriteWhole(const std::string& path, const std::string& bytes, std::string& reason)
{
    const auto fail = [&](const std::string& why) {
        reason = "cannot write " + path + ": " + why;
        return false;
    };
    outpath::Target target;
    std::string why;
    if (!outpath::Resolve(path, outpath::Kind::Replaced, target, why)) return fail(why);
    outpath::SideFile side;
    if (!side.Open(target.path, 0666)) return fail(std::strerror(errno));
    if (target.exists && ::fchmod(side.Fd(), target.mode) != 0) return fail(std::strerror(errno));
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(side.Fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(std::strerror(n < 0 ? errno : ENOSPC));
        done += std::size_t(n);
    }
    if (!side.Replace(target.path)) return fail(std::strerror(errno));
    return true;
}

} // namespace

PlotLayout LayOut(const std::vector<SeriesRow>& rows)
{
    PlotLayout l;
    bool anyTime = false, anyAngle = false;
    double t0 = 0, t1 = 0, a0 = 0, a1 = 0;
    for (const SeriesRow& r : rows) {
        t0 = anyTime ? std::min(t0, r.timeS) : r.timeS;
        t1 = anyTime ? std::max(t1, r.timeS) : r.timeS;
        anyTime = true;
        if (r.angle) {
            const double u = r.uncertainty.value_or(0);
            a0 = anyAngle ? std::min(a0, *r.angle - u) : *r.angle - u;
            a1 = anyAngle ? std::max(a1, *r.angle + u) : *r.angle + u;
            anyAngle = true;
        }
    }
    if (!anyAngle) a0 = 0, a1 = 180;
    if (t1 - t0 < 1e-3) t0 -= 0.5, t1 += 0.5;
    if (a1 - a0 < 1) a0 -= 0.5, a1 += 0.5;
    // A little room above and below the band, and the ends at whole ticks.
    const double pad = (a1 - a0) * 0.08;
    l.aStep = NiceStep(a1 - a0 + 2 * pad, 6);
    l.a0 = std::floor((a0 - pad) / l.aStep) * l.aStep;
    l.a1 = std::ceil((a1 + pad) / l.aStep) * l.aStep;
    l.tStep = NiceStep(t1 - t0, 8);
    l.t0 = std::floor(t0 / l.tStep) * l.tStep;
    l.t1 = std::ceil(t1 / l.tStep) * l.tStep;
    if (l.t1 - l.t0 < l.tStep) l.t1 = l.t0 + l.tStep;
    return l;
}

bool WritePlot(const std::vector<SeriesRow>& rows, const std::string& path, std::string& reason)
{
    const bool png = EndsWith(path, ".png"), svg = EndsWith(path, ".svg");
    if (!png && !svg) {
        reason = "a plot is written as .png or .svg, not as " + path;
        return false;
    }
    const PlotLayout layout = LayOut(rows);
    std::string bytes;
    cairo_surface_t* surface = png ? cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layout.width, layout.height)
                                   : cairo_svg_surface_create_for_stream(&Append, &bytes, layout.width, layout.height);
    cairo_t* cr = cairo_create(surface);
    Draw(cr, rows, layout);
    const cairo_status_t drawn = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (drawn != CAIRO_STATUS_SUCCESS || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        reason = std::string("cannot draw the plot: ") +
                 cairo_status_to_string(drawn ? drawn : cairo_surface_status(surface));
        cairo_surface_destroy(surface);
        return false;
    }
    bool ok = false;
    if (png) {
        ok = codec::WritePngFile(path, reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface)),
                                 layout.width, layout.height, cairo_image_surface_get_stride(surface), reason);
        cairo_surface_destroy(surface);
    } else {
        // The SVG is complete only once its surface is finished.
        cairo_surface_finish(surface);
        const cairo_status_t status = cairo_surface_status(surface);
        cairo_surface_destroy(surface);
        if (status != CAIRO_STATUS_SUCCESS) {
            reason = std::string("cannot draw the plot: ") + cairo_status_to_string(status);
            return false;
        }
        ok = WriteWhole(path, bytes, reason);
    }
    return ok;
}

} // namespace readings
