// Drawing surfaces, fonts and file writers shared by every piece of Veltora's artwork.
// Keeping colours, outlines and text handling in one place keeps all 43 images in one visual style.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace resgen {

struct Rgba {
    double r, g, b, a = 1.0;
    constexpr Rgba WithAlpha(double na) const { return {r, g, b, na}; }
};

struct Pt {
    double x, y;
};

// The two needles and everything that refers to them (zone tints, help text) share these.
inline constexpr Rgba kMeasureColour{1.00, 0.29, 0.13}; // measuring needle: red-orange
inline constexpr Rgba kOriginColour{0.13, 0.66, 1.00}; // origin needle: sky blue
inline constexpr Rgba kScaleWhite{0.98, 0.99, 1.00};
inline constexpr Rgba kSecondScale{1.00, 0.86, 0.50}; // the dials' turned-over scale: pale amber
inline constexpr Rgba kShadow{0.0, 0.0, 0.0};
inline constexpr Rgba kPanel{0.05, 0.07, 0.10, 0.66};
inline constexpr Rgba kHoldAmber{1.00, 0.70, 0.05};
inline constexpr Rgba kInk{0.11, 0.13, 0.16};
// The readout panel is one flat, opaque colour: the small digits' plates must match it exactly.
inline constexpr Rgba kReadoutPanel{0.07, 0.09, 0.12};
inline constexpr Rgba kReadoutBorder{0.34, 0.38, 0.44};
inline constexpr Rgba kReadoutCaption{0.74, 0.80, 0.87};
inline constexpr Rgba kReadoutPlaceholder{0.36, 0.40, 0.46};

struct Pixel {
    std::uint8_t r, g, b, a; // not premultiplied
};

// A decoded picture for checking and comparing artwork.
struct Image {
    int width = 0, height = 0;
    std::vector<Pixel> px;
    const Pixel& At(int x, int y) const { return px[static_cast<std::size_t>(y) * width + x]; }
};

class Canvas {
public:
    Canvas(int width, int height, bool opaque = false);
    explicit Canvas(cairo_surface_t* adopted);
    ~Canvas();
    Canvas(Canvas&& other) noexcept;
    Canvas& operator=(Canvas&& other) noexcept;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* Cr() const { return m_cr; }
    cairo_surface_t* Surface() const { return m_surface; }
    int Width() const;
    int Height() const;
    bool Opaque() const;
    Image Snapshot() const;

private:
    cairo_surface_t* m_surface = nullptr;
    cairo_t* m_cr = nullptr;
};

enum class Font { Sans, SansBold, Mono, MonoBold, Serif, SerifBold };

// Selects a DejaVu face loaded straight from its file, so output does not depend on fontconfig.
// xscale < 1 narrows the face; the core DejaVu package has no condensed cut.
void SetFont(cairo_t* cr, Font font, double size, double xscale = 1.0);

enum class Align { Left, Centre, Right };
void SetColour(cairo_t* cr, Rgba c);
double TextAdvance(cairo_t* cr, std::string_view text);
// Adds the text to the path with its baseline at y, anchored at x.
void TextPath(cairo_t* cr, std::string_view text, double x, double y, Align align = Align::Left);
// Adds the text to the path with the centre of its ink at (cx, cy).
void TextPathInkCentred(cairo_t* cr, std::string_view text, double cx, double cy);
// Fills the current path with a dark rim of the given width around it; consumes the path.
void FillWithRim(cairo_t* cr, Rgba fill, Rgba rim, double rimWidth);
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);

void WritePng(const Canvas& canvas, const std::filesystem::path& file);
void WriteJpeg(const Canvas& canvas, const std::filesystem::path& file, int quality);
// Reads a PNG or JPEG written by this program; throws with the file name on any fault.
Image LoadImage(const std::filesystem::path& file);

} // namespace resgen
