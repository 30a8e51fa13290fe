// The compositing primitives. Turned bitmaps are drawn through an inverse transform
// limited to their turned bounding box, so nothing outside it is touched.
#include "graphics/Painter.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "base/Log.h"
#include "device/PixmanImage.h"

namespace ui {

Painter::Painter(pixman_image_t* target, int width, int height) : m_target(target), m_clipW(width), m_clipH(height) {}

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

Painter Painter::Within(int x, int y, int width, int height) const
{
    Painter p = *this;
    const long x0 = std::max<long>(x, m_clipX), y0 = std::max<long>(y, m_clipY);
    const long x1 = std::min<long>(long(x) + width, long(m_clipX) + m_clipW);
    const long y1 = std::min<long>(long(y) + height, long(m_clipY) + m_clipH);
    p.m_clipX = static_cast<int>(x0);
    p.m_clipY = static_cast<int>(y0);
    p.m_clipW = static_cast<int>(std::max(0L, x1 - x0));
    p.m_clipH = static_cast<int>(std::max(0L, y1 - y0));
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
    // Camera pictures are opaque, so a plain copy of the words is the whole job.
    const device::PixmanImage src(
        pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, const_cast<std::uint32_t*>(pixels), width * 4));
    if (!src) {
        return;
    }
    const int sx = x - (m_originX + px);
    const int sy = y - (m_originY + py);
    pixman_image_composite32(PIXMAN_OP_SRC, src.get(), nullptr, m_target, sx, sy, 0, 0, x, y, w, h);
}

void Painter::DrawBitmap(const graphics::BitmapData& bitmap, int px, int py) const
{
    int x, y, w, h;
    if (!bitmap.image || bitmap.invisible || !ClipRect(px, py, bitmap.width, bitmap.height, x, y, w, h)) {
        return;
    }
    const pixman_op_t op = bitmap.hasAlpha ? PIXMAN_OP_OVER : PIXMAN_OP_SRC;
    if (!bitmap.hasRuns) {
        pixman_image_composite32(op, bitmap.image.get(), nullptr, m_target, x - (m_originX + px), y - (m_originY + py),
                                 0, 0, x, y, w, h);
        return;
    }
    // Only the parts of a big bitmap that have pixels are blended.
    for (const auto& run : bitmap.runs) {
        int rx, ry, rw, rh;
        if (ClipRect(px + run.x0, py + run.y0, run.x1 - run.x0, run.y1 - run.y0, rx, ry, rw, rh)) {
            pixman_image_composite32(op, bitmap.image.get(), nullptr, m_target, rx - (m_originX + px),
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
    pixman_image_set_transform(bitmap.image.get(), &t);
    pixman_image_set_filter(bitmap.image.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(bitmap.image.get(), PIXMAN_REPEAT_PAD);
    const int sx = x - (m_originX + rect.x);
    const int sy = y - (m_originY + rect.y);
    pixman_image_composite32(bitmap.hasAlpha ? PIXMAN_OP_OVER : PIXMAN_OP_SRC, bitmap.image.get(), nullptr, m_target,
                             sx, sy, 0, 0, x, y, w, h);
    pixman_image_set_transform(bitmap.image.get(), nullptr);
    pixman_image_set_filter(bitmap.image.get(), PIXMAN_FILTER_NEAREST, nullptr, 0);
    pixman_image_set_repeat(bitmap.image.get(), PIXMAN_REPEAT_NONE);
}

void Painter::DrawBitmapTurned(const graphics::BitmapData& bitmap, int px, int py, int pivotX, int pivotY,
                               int degree) const
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
    // A turned copy takes memory; without it the bitmap is left out of this frame.
    try {
        switch (turn) {
        case 0: DrawBitmap(bitmap, px - pivotX, py - pivotY); return;
        case 90: DrawBitmap(bitmap.Turned(1), px - pivotY, py + pivotX - (W - 1)); return;
        case 180: DrawBitmap(bitmap.Turned(2), px + pivotX - (W - 1), py + pivotY - (H - 1)); return;
        case 270: DrawBitmap(bitmap.Turned(3), px + pivotY - (H - 1), py - pivotX); return;
        default: break;
        }
        int offsetX = 0, offsetY = 0;
        const graphics::BitmapData& turned = bitmap.TurnedAbout(turn, pivotX, pivotY, offsetX, offsetY);
        DrawBitmap(turned, px + offsetX, py + offsetY);
    } catch (const std::bad_alloc&) {
        if (!bitmap.turnFailureTold) {
            bitmap.turnFailureTold = true;
            OSP_PLATFORM_LOG("canvas: cannot turn " + (bitmap.name.empty() ? std::string("a bitmap") : bitmap.name) +
                             ": out of memory; it is left out");
        }
    }
}

} // namespace ui
