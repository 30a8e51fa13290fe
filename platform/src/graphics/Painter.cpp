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
    if (!bitmap.image || !ClipRect(px, py, bitmap.width, bitmap.height, x, y, w, h)) {
        return;
    }
    const int sx = x - (m_originX + px);
    const int sy = y - (m_originY + py);
    pixman_image_composite32(bitmap.hasAlpha ? PIXMAN_OP_OVER : PIXMAN_OP_SRC, bitmap.image, nullptr, m_target,
                             sx, sy, 0, 0, x, y, w, h);
}

void Painter::DrawBitmapScaled(const graphics::BitmapData& bitmap, const Osp::Graphics::Rectangle& rect) const
{
    if (bitmap.width == rect.width && bitmap.height == rect.height) {
        DrawBitmap(bitmap, rect.x, rect.y);
        return;
    }
    int x, y, w, h;
    if (!bitmap.image || rect.width <= 0 || rect.height <= 0 ||
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
    if (!bitmap.image) {
        return;
    }
    int turn = degree % 360;
    if (turn < 0) {
        turn += 360;
    }
    if (turn == 0) {
        DrawBitmap(bitmap, px - pivotX, py - pivotY);
        return;
    }
    double c, s;
    const bool quarter = turn % 90 == 0;
    if (quarter) {
        c = turn == 180 ? -1 : 0;
        s = turn == 90 ? 1 : turn == 270 ? -1 : 0;
    } else {
        const double rad = turn * 3.14159265358979323846 / 180.0;
        c = std::cos(rad);
        s = std::sin(rad);
    }
    // A bitmap offset (u, w) lands at screen offset (u*c + w*s, -u*s + w*c): counter-
    // clockwise on a screen whose y grows downward. Pixel centres are matched, so the
    // pivot pixel covers the point's pixel exactly.
    const double cx = m_originX + px + 0.5;
    const double cy = m_originY + py + 0.5;
    const double pcx = pivotX + 0.5;
    const double pcy = pivotY + 0.5;
    double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
    const double corners[4][2] = {{0, 0}, {double(bitmap.width), 0}, {0, double(bitmap.height)},
                                  {double(bitmap.width), double(bitmap.height)}};
    for (const auto& k : corners) {
        const double u = k[0] - pcx;
        const double w = k[1] - pcy;
        const double X = cx + u * c + w * s;
        const double Y = cy - u * s + w * c;
        minX = std::min(minX, X);
        maxX = std::max(maxX, X);
        minY = std::min(minY, Y);
        maxY = std::max(maxY, Y);
    }
    const int bx = static_cast<int>(std::floor(minX)) - m_originX;
    const int by = static_cast<int>(std::floor(minY)) - m_originY;
    const int bw = static_cast<int>(std::ceil(maxX)) - m_originX - bx;
    const int bh = static_cast<int>(std::ceil(maxY)) - m_originY - by;
    int x, y, w, h;
    if (!ClipRect(bx, by, bw, bh, x, y, w, h)) {
        return;
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
    pixman_image_set_filter(bitmap.image, quarter ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_composite32(PIXMAN_OP_OVER, bitmap.image, nullptr, m_target, x, y, 0, 0, x, y, w, h);
    pixman_image_set_transform(bitmap.image, nullptr);
    pixman_image_set_filter(bitmap.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
}

} // namespace ui
