// The compositing primitives. Turned bitmaps are drawn through an inverse transform
// limited to their turned bounding box, so nothing outside it is touched.
#include "graphics/Painter.h"

#include <algorithm>
#include <cmath>

namespace ui {

Painter::Painter(pixman_image_t* target, int width, int height)
    : m_target(target), m_clipW(width), m_clipH(height)
{
}

Painter Painter::Child(const Osp::Graphics::Rectangle& bounds) const
{
    Painter p = *this;
    p.m_originX = m_originX + bounds.x;
    p.m_originY = m_originY + bounds.y;
    int x, y, w, h;
    if (!ClipRect(bounds.x, bounds.y, bounds.width, bounds.height, x, y, w, h)) {
        w = h = 0;
    }
    p.m_clipX = x;
    p.m_clipY = y;
    p.m_clipW = w;
    p.m_clipH = h;
    return p;
}

Painter Painter::Shifted(int dx, int dy) const
{
    Painter p = *this;
    p.m_originX += dx;
    p.m_originY += dy;
    return p;
}

bool Painter::ClipRect(int x, int y, int w, int h, int& ox, int& oy, int& ow, int& oh) const
{
    const long x0 = std::max<long>(long(m_originX) + x, m_clipX);
    const long y0 = std::max<long>(long(m_originY) + y, m_clipY);
    const long x1 = std::min<long>(long(m_originX) + x + w, long(m_clipX) + m_clipW);
    const long y1 = std::min<long>(long(m_originY) + y + h, long(m_clipY) + m_clipH);
    ox = static_cast<int>(x0);
    oy = static_cast<int>(y0);
    ow = static_cast<int>(x1 - x0);
    oh = static_cast<int>(y1 - y0);
    return ow > 0 && oh > 0;
}

void Painter::Fill(const Osp::Graphics::Rectangle& rect, std::uint32_t argb) const
{
    int x, y, w, h;
    if (!ClipRect(rect.x, rect.y, rect.width, rect.height, x, y, w, h)) {
        return;
    }
    const unsigned a = argb >> 24;
    pixman_color_t color;
    // pixman wants 16-bit premultiplied channels.
    color.alpha = static_cast<uint16_t>(a * 0x101);
    color.red = static_cast<uint16_t>(((argb >> 16) & 0xFF) * a / 255 * 0x101);
    color.green = static_cast<uint16_t>(((argb >> 8) & 0xFF) * a / 255 * 0x101);
    color.blue = static_cast<uint16_t>((argb & 0xFF) * a / 255 * 0x101);
    pixman_box32_t box{x, y, x + w, y + h};
    pixman_image_fill_boxes(a == 0xFF ? PIXMAN_OP_SRC : PIXMAN_OP_OVER, m_target, &color, 1, &box);
}

void Painter::CopyPixels(const std::uint32_t* pixels, int width, int height, int px, int py) const
{
    int x, y, w, h;
    if (!pixels || !ClipRect(px, py, width, height, x, y, w, h)) {
        return;
    }
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_x8r8g8b8, width, height,
                                                   const_cast<std::uint32_t*>(pixels), width * 4);
    if (!src) {
        return;
    }
    const int sx = x - (m_originX + px);
    const int sy = y - (m_originY + py);
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, m_target, sx, sy, 0, 0, x, y, w, h);
    pixman_image_unref(src);
}

void Painter::DrawBitmap(const graphics::BitmapData& bitmap, int px, int py) const
{
    int x, y, w, h;
    if (!bitmap.image || bitmap.invisible || !ClipRect(px, py, bitmap.width, bitmap.height, x, y, w, h)) {
        return;
    }
    const pixman_op_t op = bitmap.hasAlpha ? PIXMAN_OP_OVER : PIXMAN_OP_SRC;
    if (!bitmap.hasRuns) {
        pixman_image_composite32(op, bitmap.image, nullptr, m_target, x - (m_originX + px), y - (m_originY + py), 0,
                                 0, x, y, w, h);
        return;
    }
    // Only the parts of a big bitmap that have pixels are blended.
    for (const auto& run : bitmap.runs) {
        int rx, ry, rw, rh;
        if (ClipRect(px + run.x0, py + run.y0, run.x1 - run.x0, run.y1 - run.y0, rx, ry, rw, rh)) {
            pixman_image_composite32(op, bitmap.image, nullptr, m_target, rx - (m_originX + px),
                                     ry - (m_originY + py), 0, 0, rx, ry, rw, rh);
        }
    }
}

void Painter::DrawBitmapScaled(const graphics::BitmapData& bitmap, const Osp::Graphics::Rectangle& rect) const
{
    if (bitmap.width == rect.width && bitmap.height == rect.height) {
        DrawBitmap(bitmap, rect.x, rect.y);
        return;
    }
    int x, y, w, h;
    if (!bitmap.image || bitmap.invisible || rect.width <= 0 || rect.height <= 0 ||
        !ClipRect(rect.x, rect.y, rect.width, rect.height, x, y, w, h)) {
        return;
    }
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(double(bitmap.width) / rect.width),
                                pixman_double_to_fixed(double(bitmap.height) / rect.height));
    pixman_image_set_transform(bitmap.image, &t);
    pixman_image_set_filter(bitmap.image, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(bitmap.image, PIXMAN_REPEAT_PAD);
    const int sx = x - (m_originX + rect.x);
    const int sy = y - (m_originY + rect.y);
    pixman_image_composite32(bitmap.hasAlpha ? PIXMAN_OP_OVER : PIXMAN_OP_SRC, bitmap.image, nullptr, m_target,
                             sx, sy, 0, 0, x, y, w, h);
    pixman_image_set_transform(bitmap.image, nullptr);
    pixman_image_set_filter(bitmap.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
    pixman_image_set_repeat(bitmap.image, PIXMAN_REPEAT_NONE);
}

void Painter::DrawBitmapTurned(const graphics::BitmapData& bitmap, int px, int py, int pivotX, int pivotY, int degree) const
{
    if (!bitmap.image || bitmap.invisible) {
        return;
    }
    int turn = degree % 360;
    if (turn < 0) {
        turn += 360;
    }
    const int W = bitmap.width;
    const int H = bitmap.height;
    // Quarter turns: a bitmap offset (du, dv) from the pivot lands at (dv, -du) for a
    // quarter turn counter-clockwise, (-du, -dv) for a half and (-dv, du) for three
    // quarters; the turned copy is placed so each pixel lands exactly there.
    switch (turn) {
    case 0: DrawBitmap(bitmap, px - pivotX, py - pivotY); return;
    case 90: DrawBitmap(bitmap.Turned(1), px - pivotY, py + pivotX - (W - 1)); return;
    case 180: DrawBitmap(bitmap.Turned(2), px + pivotX - (W - 1), py + pivotY - (H - 1)); return;
    case 270: DrawBitmap(bitmap.Turned(3), px + pivotY - (H - 1), py - pivotX); return;
    default: break;
    }

    const double rad = turn * 3.14159265358979323846 / 180.0;
    const double c = std::cos(rad);
    const double s = std::sin(rad);
    // A bitmap offset (u, w) lands at screen offset (u*c + w*s, -u*s + w*c): counter-
    // clockwise on a screen whose y grows downward. Pixel centres are matched, so the
    // pivot pixel sits on the point's pixel.
    const double cx = m_originX + px + 0.5;
    const double cy = m_originY + py + 0.5;
    const double pcx = pivotX + 0.5;
    const double pcy = pivotY + 0.5;
    double corner[4][2];
    const double box[4][2] = {{0, 0}, {double(W), 0}, {double(W), double(H)}, {0, double(H)}};
    double minY = 1e18, maxY = -1e18;
    for (int i = 0; i < 4; i++) {
        const double u = box[i][0] - pcx;
        const double w = box[i][1] - pcy;
        corner[i][0] = cx + u * c + w * s;
        corner[i][1] = cy - u * s + w * c;
        minY = std::min(minY, corner[i][1]);
        maxY = std::max(maxY, corner[i][1]);
    }

    // Screen (X, Y) back to the bitmap: u = dx*c - dy*s, w = dx*s + dy*c.
    pixman_transform_t t;
    t.matrix[0][0] = pixman_double_to_fixed(c);
    t.matrix[0][1] = pixman_double_to_fixed(-s);
    t.matrix[0][2] = pixman_double_to_fixed(-c * cx + s * cy + pcx);
    t.matrix[1][0] = pixman_double_to_fixed(s);
    t.matrix[1][1] = pixman_double_to_fixed(c);
    t.matrix[1][2] = pixman_double_to_fixed(-s * cx - c * cy + pcy);
    t.matrix[2][0] = 0;
    t.matrix[2][1] = 0;
    t.matrix[2][2] = pixman_fixed_1;
    pixman_image_set_transform(bitmap.image, &t);
    pixman_image_set_filter(bitmap.image, PIXMAN_FILTER_BILINEAR, nullptr, 0);

    // The turned bitmap covers a slanted rectangle; its bounding box is mostly empty for
    // a long thin needle. So it is blended in bands of rows, each only as wide as the
    // rectangle is there (plus a pixel for the filter's soft edge).
    constexpr int kBandRows = 8;
    const int top = static_cast<int>(std::floor(minY)) - 1;
    const int bottom = static_cast<int>(std::ceil(maxY)) + 1;
    for (int y0 = top; y0 < bottom; y0 += kBandRows) {
        const double b0 = y0, b1 = std::min(y0 + kBandRows, bottom);
        double lo = 1e18, hi = -1e18;
        for (int i = 0; i < 4; i++) {
            const double* p = corner[i];
            const double* q = corner[(i + 1) % 4];
            // The part of this edge inside the band.
            const double ya = std::max(b0, std::min(p[1], q[1]));
            const double yb = std::min(b1, std::max(p[1], q[1]));
            if (ya > yb) {
                continue;
            }
            for (double yy : {ya, yb}) {
                const double dy = q[1] - p[1];
                const double xx = std::abs(dy) < 1e-9 ? p[0] : p[0] + (q[0] - p[0]) * (yy - p[1]) / dy;
                const double x2 = std::abs(dy) < 1e-9 ? q[0] : xx;
                lo = std::min({lo, xx, x2});
                hi = std::max({hi, xx, x2});
            }
        }
        if (lo > hi) {
            continue;
        }
        const int bx = static_cast<int>(std::floor(lo)) - 1 - m_originX;
        const int bw = static_cast<int>(std::ceil(hi)) + 1 - m_originX - bx;
        int x, y, w, h;
        if (ClipRect(bx, y0 - m_originY, bw, static_cast<int>(b1) - y0, x, y, w, h)) {
            pixman_image_composite32(PIXMAN_OP_OVER, bitmap.image, nullptr, m_target, x, y, 0, 0, x, y, w, h);
        }
    }
    pixman_image_set_transform(bitmap.image, nullptr);
    pixman_image_set_filter(bitmap.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
}

} // namespace ui
