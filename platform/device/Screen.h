// The phone's screen: composes the current form (camera picture, controls, the shown
// canvas) into 800x480 pixels, or 480x800 while the form is portrait.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/CameraSource.h"
#include "graphics/CanvasImpl.h"

namespace Osp { namespace Ui { class Control; namespace Controls { class Frame; class Form; } } }

namespace device {

class Device;

class Screen {
public:
    static constexpr int kLongSide = 800;
    static constexpr int kShortSide = 480;

    explicit Screen(Device& device);
    ~Screen();

    void SetFrame(Osp::Ui::Controls::Frame* frame);
    Osp::Ui::Controls::Frame* GetFrame() const { return m_pFrame; }
    Osp::Ui::Controls::Form* CurrentForm() const;

    // Something on screen changed; the next Compose draws it.
    void Invalidate() { ++m_version; }
    std::uint64_t Version() const;

    void ShowCanvas(const graphics::CanvasImpl& canvas);
    const std::vector<graphics::DrawOp>& ShownCanvas() const { return m_canvasOps; }
    std::uint64_t CanvasShows() const { return m_canvasShows; }

    bool Portrait() const;
    int Width() const { return Portrait() ? kShortSide : kLongSide; }
    int Height() const { return Portrait() ? kLongSide : kShortSide; }

    // Draws the screen as it is now; the view stays valid until the next Compose.
    PixelView Compose();
    bool WritePng(const std::string& path, std::string& reason);

    // Observers of what the application shows (the trace, the window).
    using CanvasObserver = std::function<void(const std::vector<graphics::DrawOp>&)>;
    void SetCanvasObserver(CanvasObserver observer) { m_canvasObserver = std::move(observer); }

private:
    Device& m_device;
    Osp::Ui::Controls::Frame* m_pFrame = nullptr;
    std::vector<graphics::DrawOp> m_canvasOps;
    Osp::Graphics::Rectangle m_canvasBounds;
    std::uint64_t m_canvasShows = 0;
    std::uint64_t m_version = 0;
    std::vector<std::uint32_t> m_pixels;
    CanvasObserver m_canvasObserver;
};

} // namespace device
