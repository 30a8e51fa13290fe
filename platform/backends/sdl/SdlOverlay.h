// What the window draws over the phone's screen and never into it: the list of keys (H) and a
// short notice at the view's foot, each kept as a texture until it changes.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "sdl/SdlHandles.h"
#include "sdl/ViewGeometry.h"

namespace sdl {

class Overlay {
public:
    // Draws with the presenter's renderer, which outlives this.
    explicit Overlay(const RendererHandle& renderer);
    Overlay(const Overlay&) = delete;
    Overlay& operator=(const Overlay&) = delete;

    // A short line at the view's foot for a moment (a picture saved), or as long as asked; at
    // its top where the foot holds what the line is about (the half dial's hub).
    void ShowNotice(const std::string& text, std::chrono::milliseconds shown, bool atTop);
    // Drops a notice whose time is up; true when one went.
    bool NoticeEnded();
    bool NoticeShown() const { return !m_notice.empty(); }
    bool KeyListShown() const { return m_keyListShown; }
    void ShowKeyList(bool shown) { m_keyListShown = shown; }

    void DrawKeyList(const detail::Box& view);
    // A notice at the view's top moves down past whichever of `keep` it would cover.
    void DrawNotice(const detail::Box& view, const std::vector<detail::Box>& keep = {});
    // The display went away: the textures are left to the system with the renderer.
    void Abandon();

private:
    const RendererHandle& m_renderer;

    TextureHandle m_keyList;
    int m_keyListWidth = 0;
    int m_keyListHeight = 0;
    bool m_keyListShown = false;

    std::string m_notice;
    bool m_noticeAtTop = false;
    std::chrono::steady_clock::time_point m_noticeUntil;
    TextureHandle m_noticeTexture;
};

} // namespace sdl
