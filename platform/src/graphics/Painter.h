// Draws bitmaps, turned bitmaps and fills onto the screen's pixels with pixman, within
// a control's clip and at its offset.
#pragma once

#include <cstdint>

#include <pixman.h>

#include "graphics/BitmapData.h"
#include "osp/Graphics.h"

namespace ui {

class Painter {
public:
    // `target` is the whole screen; the painter starts at its origin with no clip beyond it.
    Painter(pixman_image_t* target, int width, int height);

    // A painter for a child at `bounds` (in this painter's coordinates), clipped to them.
    Painter Child(const Osp::Graphics::Rectangle& bounds) const;
    // The same painter drawing only within `rect` (target coordinates) besides its clip.
    Painter Within(int x, int y, int width, int height) const;
    // The same painter shifted (a scrolled content) without changing the clip.
    Painter Shifted(int dx, int dy) const;
    bool ClipEmpty() const { return m_clipW <= 0 || m_clipH <= 0; }

    void Fill(const Osp::Graphics::Rectangle& rect, std::uint32_t argb) const;
    // Copies opaque pixels (a camera picture) to the rectangle.
    void CopyPixels(const std::uint32_t* pixels, int width, int height, int x, int y) const;
    void DrawBitmap(const graphics::BitmapData& bitmap, int x, int y) const;
    // Stretches the bitmap over the rectangle (backgrounds of labels and buttons).
    void DrawBitmapScaled(const graphics::BitmapData& bitmap, const Osp::Graphics::Rectangle& rect) const;
    // Puts the bitmap's pivot on (x, y) and turns it `degree` degrees counter-clockwise.
    // Quarter turns copy pixels exactly; other angles are filtered bilinearly.
    void DrawBitmapTurned(const graphics::BitmapData& bitmap, int x, int y, int pivotX, int pivotY, int degree) const;

private:
    // Intersects a rectangle in this painter's coordinates with the clip; the result is
    // in target coordinates.
    bool ClipRect(int x, int y, int w, int h, int& ox, int& oy, int& ow, int& oh) const;

    pixman_image_t* m_target;
    int m_originX = 0;
    int m_originY = 0;
    int m_clipX = 0;
    int m_clipY = 0;
    int m_clipW = 0;
    int m_clipH = 0;
};

} // namespace ui
