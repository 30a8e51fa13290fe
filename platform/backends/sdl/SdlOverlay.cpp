// What the window draws over the phone's screen and never into it: the list of keys and a
// notice, drawn with cairo in the DejaVu fonts; the loupe has a file of its own.
#include "sdl/SdlOverlay.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <cairo.h>

#include "device/Device.h"
#include "sdl/KeyTable.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

Overlay::Overlay(const RendererHandle& renderer) : m_renderer(renderer) {}

void Overlay::Abandon()
{
    (void)m_noticeTexture.release();
    (void)m_keyList.release();
}

void Overlay::DrawKeyList(const Box& view)
{
    if (view.w <= 0 || view.h <= 0) {
        return;
    }
    if (m_keyList && m_keyListWidth == view.w && m_keyListHeight == view.h) {
        const SDL_Rect dst{view.x, view.y, view.w, view.h};
        SDL_RenderCopy(m_renderer.get(), m_keyList.get(), nullptr, &dst);
        return;
    }
    // Each entry is a key and what it does, the description going on over indented lines;
    // descriptions are wrapped again to the width there is, so the list reads as large as the
    // view allows whichever way it stands.
    struct Entry {
        std::string key;
        std::vector<std::string> words;
    };
    std::vector<Entry> entries{{kKeyHelpHeading, {}}};
    for (const KeyEntry& k : KeyTable()) {
        Entry entry{std::string("  ") + k.label, {}};
        std::string word;
        for (const char* c = k.help;; c++) {
            if (*c == ' ' || *c == '\n' || *c == '\0') {
                if (!word.empty()) {
                    entry.words.push_back(word);
                }
                word.clear();
            } else {
                word += *c;
            }
            if (*c == '\0') {
                break;
            }
        }
        entries.push_back(std::move(entry));
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, view.w, view.h);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgba(cr, 0.05, 0.05, 0.08, 0.88);
    cairo_paint(cr);
    cairo_select_font_face(cr, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    const char* title = "Veltora: the keys (Escape or any other key closes this list)";
    // The rows at a font size: each entry's description wrapped to the width left of the key column.
    const auto layout = [&](double size) {
        cairo_set_font_size(cr, size);
        cairo_text_extents_t e;
        cairo_text_extents(cr, "M", &e);
        const double advance = std::max(e.x_advance, 1.0);
        const int columns = static_cast<int>(view.w * 0.94 / advance);
        std::vector<std::string> rows;
        for (const Entry& entry : entries) {
            if (entry.words.empty()) {
                rows.push_back(entry.key);
                continue;
            }
            const int room = std::max(8, columns - static_cast<int>(kKeyColumn));
            std::string row = entry.key + std::string(kKeyColumn - std::min(kKeyColumn, entry.key.size()), ' ');
            std::size_t used = 0;
            for (const std::string& w : entry.words) {
                if (used > 0 && used + 1 + w.size() > static_cast<std::size_t>(room)) {
                    rows.push_back(row);
                    row = std::string(kKeyColumn, ' ');
                    used = 0;
                }
                row += (used > 0 ? " " : "") + w;
                used += (used > 0 ? 1 : 0) + w.size();
            }
            rows.push_back(row);
        }
        return rows;
    };
    // The largest size whose rows fit both ways (title and a blank row included).
    double size = 28;
    std::vector<std::string> rows;
    for (;; size -= 0.5) {
        rows = layout(size);
        double widest = 0;
        for (const std::string& r : rows) {
            cairo_text_extents_t e;
            cairo_text_extents(cr, r.c_str(), &e);
            widest = std::max(widest, e.x_advance);
        }
        cairo_text_extents_t t;
        cairo_text_extents(cr, title, &t);
        const bool fits =
            widest <= view.w * 0.94 && t.x_advance <= view.w * 0.94 && (rows.size() + 2) * size * 1.2 <= view.h * 0.94;
        if (fits || size <= 5) {
            break;
        }
    }
    const double x = view.w * 0.03;
    double y = (view.h - (rows.size() + 2) * size * 1.2) / 2 + size;
    cairo_set_source_rgb(cr, 1.0, 0.85, 0.3);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, title);
    y += size * 2.4;
    cairo_set_source_rgb(cr, 0.95, 0.95, 0.95);
    for (const auto& l : rows) {
        cairo_move_to(cr, x, y);
        cairo_show_text(cr, l.c_str());
        y += size * 1.2;
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        m_keyList.reset();
        // cairo's pixels are premultiplied: blended as such where the renderer can, else
        // with SDL's plain blend, which only darkens the panel a little.
        m_keyList.reset(
            SDL_CreateTexture(m_renderer.get(), SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, view.w, view.h));
        if (m_keyList) {
            SDL_UpdateTexture(m_keyList.get(), nullptr, cairo_image_surface_get_data(surface),
                              cairo_image_surface_get_stride(surface));
            const SDL_BlendMode premultiplied = SDL_ComposeCustomBlendMode(
                SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD, SDL_BLENDFACTOR_ONE,
                SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD);
            if (SDL_SetTextureBlendMode(m_keyList.get(), premultiplied) != 0) {
                SDL_SetTextureBlendMode(m_keyList.get(), SDL_BLENDMODE_BLEND);
            }
            m_keyListWidth = view.w;
            m_keyListHeight = view.h;
            const SDL_Rect dst{view.x, view.y, view.w, view.h};
            SDL_RenderCopy(m_renderer.get(), m_keyList.get(), nullptr, &dst);
        }
    }
    cairo_surface_destroy(surface);
}

void Overlay::ShowNotice(const std::string& text, std::chrono::milliseconds shown, bool atTop)
{
    m_notice = text;
    m_noticeAtTop = atTop;
    m_noticeUntil = std::chrono::steady_clock::now() + shown;
    m_noticeTexture.reset();
}

bool Overlay::NoticeEnded()
{
    if (m_notice.empty() || std::chrono::steady_clock::now() < m_noticeUntil) {
        return false;
    }
    m_notice.clear();
    return true;
}

void Overlay::DrawNotice(const Box& view, const std::vector<Box>& keep)
{
    // Light text on a dark strip, made once for each notice. A long one is wrapped: at the
    // view's top it keeps to the middle, clear of the readout and the hold button.
    const double size = std::max(12.0, std::min(view.w, view.h) / 28.0);
    const double room = view.w * (m_noticeAtTop ? 0.6 : 0.94) - size * 1.5;
    int w = 0, h = 0;
    if (!m_noticeTexture) {
        cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
        cairo_t* pc = cairo_create(probe);
        cairo_select_font_face(pc, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(pc, size);
        const auto width = [&](const std::string& text) {
            cairo_text_extents_t e;
            cairo_text_extents(pc, text.c_str(), &e);
            return e.x_advance;
        };
        std::vector<std::string> lines{""};
        double widest = 0;
        std::istringstream words(m_notice);
        for (std::string word; words >> word;) {
            const std::string longer = lines.back().empty() ? word : lines.back() + " " + word;
            if (!lines.back().empty() && width(longer) > room) {
                lines.push_back(word);
            } else {
                lines.back() = longer;
            }
            widest = std::max(widest, width(lines.back()));
        }
        cairo_destroy(pc);
        cairo_surface_destroy(probe);
        w = std::max(1, std::min(view.w, static_cast<int>(widest + size * 1.5)));
        h = static_cast<int>(size * (0.6 + 1.3 * lines.size()));
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgba(cr, 0.0, 0.0, 0.0, 0.8);
        cairo_paint(cr);
        cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, size);
        cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
        for (std::size_t i = 0; i < lines.size(); i++) {
            cairo_move_to(cr, size * 0.75, size * (0.3 + 1.3 * i + 1.0));
            cairo_show_text(cr, lines[i].c_str());
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
            m_noticeTexture.reset(
                SDL_CreateTexture(m_renderer.get(), SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, w, h));
            if (m_noticeTexture) {
                SDL_UpdateTexture(m_noticeTexture.get(), nullptr, cairo_image_surface_get_data(surface),
                                  cairo_image_surface_get_stride(surface));
                SDL_SetTextureBlendMode(m_noticeTexture.get(), SDL_BLENDMODE_BLEND);
            }
        }
        cairo_surface_destroy(surface);
    }
    if (!m_noticeTexture || SDL_QueryTexture(m_noticeTexture.get(), nullptr, nullptr, &w, &h) != 0) {
        return;
    }
    const int x = view.x + (view.w - w) / 2;
    int y = m_noticeAtTop ? view.y + static_cast<int>(size * 0.5) : view.y + view.h - h - static_cast<int>(size);
    // Each push moves it below one box, so this ends within as many rounds as there are boxes.
    for (bool moved = m_noticeAtTop; moved;) {
        moved = false;
        for (const Box& k : keep) {
            if (x < k.x + k.w && k.x < x + w && y < k.y + k.h && k.y < y + h) {
                y = k.y + k.h + static_cast<int>(size * 0.3);
                moved = true;
            }
        }
    }
    const SDL_Rect dst{x, y, w, h};
    SDL_RenderCopy(m_renderer.get(), m_noticeTexture.get(), nullptr, &dst);
}

} // namespace sdl
