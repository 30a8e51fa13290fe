// The Osp::Graphics namespace: points, sizes, colours, bitmaps and the canvas the
// application draws its overlay on.
#pragma once

#include <cstdint>
#include <memory>

#include "osp/Base.h"

namespace graphics {
struct BitmapData;
class CanvasImpl;
} // namespace graphics

namespace Osp { namespace Graphics {

class Point : public Osp::Base::Object {
public:
    Point() = default;
    Point(int px, int py) : x(px), y(py) {}
    bool operator==(const Point& rhs) const { return x == rhs.x && y == rhs.y; }
    bool operator!=(const Point& rhs) const { return !(*this == rhs); }
    void SetPosition(int px, int py)
    {
        x = px;
        y = py;
    }
    int x = 0;
    int y = 0;
};

class Dimension : public Osp::Base::Object {
public:
    Dimension() = default;
    Dimension(int w, int h) : width(w), height(h) {}
    bool operator==(const Dimension& rhs) const { return width == rhs.width && height == rhs.height; }
    bool operator!=(const Dimension& rhs) const { return !(*this == rhs); }
    int width = 0;
    int height = 0;
};

class Rectangle : public Osp::Base::Object {
public:
    Rectangle() = default;
    Rectangle(int px, int py, int w, int h) : x(px), y(py), width(w), height(h) {}
    bool operator==(const Rectangle& rhs) const
    {
        return x == rhs.x && y == rhs.y && width == rhs.width && height == rhs.height;
    }
    bool operator!=(const Rectangle& rhs) const { return !(*this == rhs); }
    bool Contains(const Point& p) const { return p.x >= x && p.y >= y && p.x < x + width && p.y < y + height; }
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class Color : public Osp::Base::Object {
public:
    Color() = default;
    Color(unsigned char r, unsigned char g, unsigned char b, unsigned char a = 0xFF)
        : m_argb((std::uint32_t(a) << 24) | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b)
    {}
    explicit Color(std::uint32_t argb) : m_argb(argb) {}
    bool operator==(const Color& rhs) const { return m_argb == rhs.m_argb; }
    bool operator!=(const Color& rhs) const { return m_argb != rhs.m_argb; }
    std::uint32_t GetRGB32() const { return m_argb; }
    unsigned char GetAlpha() const { return m_argb >> 24; }
    unsigned char GetRed() const { return (m_argb >> 16) & 0xFF; }
    unsigned char GetGreen() const { return (m_argb >> 8) & 0xFF; }
    unsigned char GetBlue() const { return m_argb & 0xFF; }

    static const Color COLOR_BLACK;
    static const Color COLOR_WHITE;
    static const Color COLOR_RED;
    static const Color COLOR_GREEN;
    static const Color COLOR_BLUE;

private:
    std::uint32_t m_argb = 0xFF000000u; // opaque black
};

enum BitmapPixelFormat {
    BITMAP_PIXEL_FORMAT_MIN = 0,
    BITMAP_PIXEL_FORMAT_RGB565 = 1,
    BITMAP_PIXEL_FORMAT_ARGB8888 = 2,
    BITMAP_PIXEL_FORMAT_MAX,
};

enum PixelFormat {
    PIXEL_FORMAT_RGB565 = 1,
    PIXEL_FORMAT_ARGB8888 = 2,
};

// Describes a pixel buffer owned by someone else (e.g. an overlay panel's background).
class BufferInfo : public Osp::Base::Object {
public:
    int width = 0;
    int height = 0;
    int pitch = 0; // bytes per row
    int bitsPerPixel = 0;
    PixelFormat pixelFormat = PIXEL_FORMAT_ARGB8888;
    void* pPixels = nullptr;
};

class Bitmap : public Osp::Base::Object {
public:
    Bitmap();
    ~Bitmap() override;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    // A blank (transparent or black) bitmap of the given size.
    Osp::Base::result Construct(const Dimension& dim, BitmapPixelFormat format);
    int GetWidth() const;
    int GetHeight() const;
    BitmapPixelFormat GetPixelColorFormat() const;

    // How many Bitmap objects exist right now (for leak checks).
    static long GetLiveCount();

    // Platform side: the shared, immutable pixels. Controls that are given a bitmap
    // keep a reference to these, so the caller may delete its Bitmap at once.
    const std::shared_ptr<const graphics::BitmapData>& GetData() const { return m_data; }
    void SetData(std::shared_ptr<const graphics::BitmapData> data) { m_data = std::move(data); }

private:
    std::shared_ptr<const graphics::BitmapData> m_data;
};

class Canvas : public Osp::Base::Object {
public:
    Canvas();
    ~Canvas() override;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    Osp::Base::result Construct(const Rectangle& rect);
    Osp::Base::result Clear();
    // Draws the bitmap unturned, its top-left corner on the point.
    Osp::Base::result DrawBitmap(const Point& point, const Bitmap& bitmap);
    // Draws the bitmap turned by `degree` about `pivot` (bitmap coordinates), the pivot on
    // the point; a positive angle turns counter-clockwise on screen.
    Osp::Base::result DrawBitmap(const Point& point, const Bitmap& bitmap, const Point& pivot, int degree);
    // Puts the canvas on the display over the camera picture.
    Osp::Base::result Show();

    graphics::CanvasImpl* GetImpl() const { return m_pImpl.get(); }

private:
    std::unique_ptr<graphics::CanvasImpl> m_pImpl;
};

}} // namespace Osp::Graphics
