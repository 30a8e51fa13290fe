// What the window draws over the phone's screen and never into it: the list of keys (drawn
// with cairo in the DejaVu font); the loupe has a file of its own.
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
