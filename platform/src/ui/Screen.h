// What the phone's display shows: the current form (camera picture, controls, the shown
// canvas) composed into the display's 800x480 pixels, or 480x800 while the form is portrait.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/Display.h"
#include "graphics/CanvasImpl.h"

namespace Osp { namespace Ui {
class Control;
namespace Controls {
class Frame;
class Form;
} // namespace Controls
}} // namespace Osp::Ui

namespace ui {

class Screen final : public device::Display::Content {
public:
    static constexpr int kLongSide = device::Display::kLongSide;
    static constexpr int kShortSide = device::Display::kShortSide;

    // Shows itself on the display while it lives.
    explicit Screen(device::Display& display);
    ~Screen() override;
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    void SetFrame(Osp::Ui::Controls::Frame* frame);
    Osp::Ui::Controls::Frame* GetFrame() const { return m_pFrame; }
    Osp::Ui::Controls::Form* CurrentForm() const;

    // Something on screen changed; the next Compose draws it.
    void Invalidate()
    {
        ++m_version;
        m_allChanged = true;
    }
    std::uint64_t Version() const override;

    void ShowCanvas(const graphics::CanvasImpl& canvas);
    const std::vector<graphics::DrawOp>& ShownCanvas() const { return m_canvasOps; }
    std::uint64_t CanvasShows() const { return m_canvasShows; }

    bool Portrait() const override;
    int Width() const { return Portrait() ? kShortSide : kLongSide; }
    int Height() const { return Portrait() ? kLongSide : kShortSide; }

    // Draws the screen as it is now into the display; the view stays valid until the next Compose.
    device::PixelView Compose() { return m_display.Compose(); }
    void Draw(const device::PixelView& target) override;
    // Between two calls only the camera pictures' changes are drawn; anything else that
    // changed redraws the whole screen.
    device::PixelRect DrawChanges(const device::PixelView& target, bool targetHoldsLast) override;

    // Observers of what the application shows (the trace, the window).
    using CanvasObserver = std::function<void(const std::vector<graphics::DrawOp>&)>;
    void SetCanvasObserver(CanvasObserver observer) { m_canvasObserver = std::move(observer); }

private:
    device::Display& m_display;
    Osp::Ui::Controls::Frame* m_pFrame = nullptr;
    std::vector<graphics::DrawOp> m_canvasOps;
    Osp::Graphics::Rectangle m_canvasBounds;
    std::uint64_t m_canvasShows = 0;
    void DrawWithin(const device::PixelView& target, const device::PixelRect& area);

    std::uint64_t m_version = 0;
    // Something other than a camera picture changed since the last DrawChanges.
    bool m_allChanged = true;
    CanvasObserver m_canvasObserver;
};

// What the controls need of the platform running on the device: its screen, to redraw
// when they change. The platform offers it (see base/Installed.h).
class ScreenOwner {
public:
    virtual ui::Screen& Screen() = 0;

protected:
    ~ScreenOwner() = default;
};

} // namespace ui
