// What the window draws over the phone's screen and never into it: the loupe around the
// finger, and the list of keys (drawn with cairo in the DejaVu font).
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <cairo.h>

#include "device/Device.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

void Window::DrawLoupe(const Rect& view)
{
    if (!m_pScreen || view.w <= 0) {
        return;
    }
    // The screen pixels around the finger, kept within the screen.
    const int span = kLoupeSpan;
    const int sx = std::clamp(m_finger.x - span / 2, 0, std::max(0, m_screenWidth - span));
    const int sy = std::clamp(m_finger.y - span / 2, 0, std::max(0, m_screenHeight - span));
    const SDL_Rect src{sx, sy, std::min(span, m_screenWidth), std::min(span, m_screenHeight)};
    // Its size on the desktop follows the window's density, so it is as large to the eye anywhere.
    int winW = 1, winH = 1;
    SDL_GetWindowSize(m_pWindow, &winW, &winH);
    int outW = 1, outH = 1;
    SDL_GetRendererOutputSize(m_pRenderer, &outW, &outH);
    const double density = std::max(1.0, double(outW) / std::max(winW, 1));
    const int side = std::min(static_cast<int>(span * kLoupeZoom * density), std::min(view.w, view.h) / 2);
    const int margin = static_cast<int>(8 * density);
    if (side < span) {
        return; // the window is too small for a loupe worth having
    }
    // In the corner across from the finger, so the hand never covers it.
    const device::PointD fingerView =
        ScreenToView({m_finger.x + 0.5, m_finger.y + 0.5}, m_screenWidth, m_screenHeight, Turns());
    const bool fingerRight = fingerView.x > ViewWidth() / 2.0;
    const bool fingerLow = fingerView.y > ViewHeight() / 2.0;
    const SDL_Rect dst{fingerRight ? view.x + margin : view.x + view.w - margin - side,
                       fingerLow ? view.y + margin : view.y + view.h - margin - side, side, side};
    SDL_SetRenderDrawColor(m_pRenderer, 0, 0, 0, 255);
    SDL_RenderFillRect(m_pRenderer, &dst);
    // Enlarged pixels stay sharp squares: the loupe is for seeing single pixels. The frame's
    // scale mode is read when the queue runs, so the view is drawn first.
    SDL_RenderFlush(m_pRenderer);
    SDL_SetTextureScaleMode(m_pScreen, SDL_ScaleModeNearest);
    const double unit = double(side) / span;
    SDL_Rect part{dst.x + (dst.w - static_cast<int>(src.w * unit)) / 2, dst.y + (dst.h - static_cast<int>(src.h * unit)) / 2,
                  static_cast<int>(src.w * unit), static_cast<int>(src.h * unit)};
    SDL_RenderCopyEx(m_pRenderer, m_pScreen, &src, &part, 90.0 * Turns(), nullptr, SDL_FLIP_NONE);
    SDL_RenderFlush(m_pRenderer);

    // The crosshair through the middle of the finger's pixel, turned as the view is.
    const device::PointD centre{src.x + src.w / 2.0, src.y + src.h / 2.0};
    device::PointD off{(m_finger.x + 0.5 - centre.x) * unit, (m_finger.y + 0.5 - centre.y) * unit};
    for (int i = 0; i < Turns(); i++) {
        off = {-off.y, off.x}; // a quarter turn clockwise on screen
    }
    const int cx = static_cast<int>(std::floor(dst.x + dst.w / 2.0 + off.x));
    const int cy = static_cast<int>(std::floor(dst.y + dst.h / 2.0 + off.y));
    const int gap = static_cast<int>(unit) / 2 + 2;
    const auto cross = [&](int width) {
        for (int d = -width / 2; d <= width / 2; d++) {
            SDL_RenderDrawLine(m_pRenderer, dst.x, cy + d, cx - gap, cy + d);
            SDL_RenderDrawLine(m_pRenderer, cx + gap, cy + d, dst.x + dst.w - 1, cy + d);
            SDL_RenderDrawLine(m_pRenderer, cx + d, dst.y, cx + d, cy - gap);
            SDL_RenderDrawLine(m_pRenderer, cx + d, cy + gap, cx + d, dst.y + dst.h - 1);
        }
    };
    if (cx >= dst.x && cx < dst.x + dst.w && cy >= dst.y && cy < dst.y + dst.h) {
        SDL_SetRenderDrawColor(m_pRenderer, 0, 0, 0, 255);
        cross(3);
        SDL_SetRenderDrawColor(m_pRenderer, 255, 255, 0, 255);
        cross(1);
    }
    SDL_SetRenderDrawColor(m_pRenderer, 255, 255, 255, 255);
    SDL_RenderDrawRect(m_pRenderer, &dst);
}

void Window::DrawKeyList()
{
    const Rect view = ViewRect();
    if (view.w <= 0 || view.h <= 0) {
        return;
    }
    if (m_pKeyList && m_keyListWidth == view.w && m_keyListHeight == view.h) {
        const SDL_Rect dst{view.x, view.y, view.w, view.h};
        SDL_RenderCopy(m_pRenderer, m_pKeyList, nullptr, &dst);
        return;
    }
    std::vector<std::string> lines;
    std::istringstream text(kKeyHelp);
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    // Drawn at the view's own size, sharp at any window size, and kept while that stays.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, view.w, view.h);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgba(cr, 0.05, 0.05, 0.08, 0.88);
    cairo_paint(cr);
    cairo_select_font_face(cr, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    // The longest line fills the width, less a margin; the lines fill at most the height.
    cairo_set_font_size(cr, 10.0);
    double widest = 1;
    for (const auto& l : lines) {
        cairo_text_extents_t e;
        cairo_text_extents(cr, l.c_str(), &e);
        widest = std::max(widest, e.x_advance);
    }
    const double byWidth = 10.0 * (view.w * 0.92) / widest;
    const double byHeight = (view.h * 0.9) / ((lines.size() + 2) * 1.25);
    const double size = std::max(4.0, std::min(byWidth, byHeight));
    cairo_set_font_size(cr, size);
    const double x = (view.w - widest * size / 10.0) / 2;
    double y = (view.h - (lines.size() + 2) * size * 1.25) / 2 + size;
    cairo_set_source_rgb(cr, 1.0, 0.85, 0.3);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, "Veltora: the keys (any key closes this list)");
    y += size * 2.5;
    cairo_set_source_rgb(cr, 0.95, 0.95, 0.95);
    for (const auto& l : lines) {
        cairo_move_to(cr, x, y);
        cairo_show_text(cr, l.c_str());
        y += size * 1.25;
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        if (m_pKeyList) {
            SDL_DestroyTexture(m_pKeyList);
        }
        // cairo's pixels are premultiplied: blended as such where the renderer can, else
        // with SDL's plain blend, which only darkens the panel a little.
        m_pKeyList = SDL_CreateTexture(m_pRenderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, view.w, view.h);
        if (m_pKeyList) {
            SDL_UpdateTexture(m_pKeyList, nullptr, cairo_image_surface_get_data(surface),
                              cairo_image_surface_get_stride(surface));
            const SDL_BlendMode premultiplied =
                SDL_ComposeCustomBlendMode(SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD,
                                           SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD);
            if (SDL_SetTextureBlendMode(m_pKeyList, premultiplied) != 0) {
                SDL_SetTextureBlendMode(m_pKeyList, SDL_BLENDMODE_BLEND);
            }
            m_keyListWidth = view.w;
            m_keyListHeight = view.h;
            const SDL_Rect dst{view.x, view.y, view.w, view.h};
            SDL_RenderCopy(m_pRenderer, m_pKeyList, nullptr, &dst);
        }
    }
    cairo_surface_destroy(surface);
}

} // namespace sdl
