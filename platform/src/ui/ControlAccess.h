// The platform's view into controls: the compositor, touch routing and the trace read
// the tree through here rather than through the application's API.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/CameraSource.h"
#include "osp/Ui.h"

namespace ui {

class Painter;

class ControlAccess {
public:
    static const std::vector<std::unique_ptr<Osp::Ui::Control>>& Children(const Osp::Ui::Container& c)
    {
        return c.m_children;
    }
    static void Paint(const Osp::Ui::Control& c, const Painter& painter) { c.Paint(painter); }
    static bool TakesTouches(const Osp::Ui::Control& c) { return c.TakesTouches() || !c.m_touchListeners.empty(); }
    static const std::vector<Osp::Ui::ITouchEventListener*>& TouchListeners(const Osp::Ui::Control& c)
    {
        return c.m_touchListeners;
    }
    static const char* ClassName(const Osp::Ui::Control& c) { return c.ClassName(); }
    static std::string TraceName(const Osp::Ui::Control& c)
    {
        return std::string(c.ClassName()) + "#" + std::to_string(c.m_serial);
    }
    static bool IsOverlayPanel(const Osp::Ui::Control& c)
    {
        return dynamic_cast<const Osp::Ui::Controls::OverlayPanel*>(&c) != nullptr;
    }
    static int ScrollOffset(const Osp::Ui::Control& c);
    // The sum of the camera-frame counters of the overlay panels under `c`.
    static std::uint64_t PictureGeneration(const Osp::Ui::Control& c);
    // Adds where the camera pictures under `c` changed since last asked, in the coordinates
    // `c`'s bounds are given in, to `into`, and forgets them. Hidden panels add nothing:
    // showing them again redraws the screen anyway.
    static void TakePictureChanges(const Osp::Ui::Control& c, int originX, int originY, device::PixelRect& into);
    static const std::shared_ptr<graphics::PreviewBuffer>& Background(const Osp::Ui::Controls::OverlayPanel& p)
    {
        return p.m_pBackground;
    }

    static const std::shared_ptr<const graphics::BitmapData>& LabelBackground(const Osp::Ui::Controls::Label& l)
    {
        return l.m_pBackground;
    }
    // The images of a button's state: its image, its image's position and its background.
    static const std::shared_ptr<const graphics::BitmapData>& ButtonImage(const Osp::Ui::Controls::Button& b,
                                                                          bool pressed)
    {
        return pressed ? b.m_pressedImages.image : b.m_normal.image;
    }
    static Osp::Graphics::Point ButtonImagePosition(const Osp::Ui::Controls::Button& b, bool pressed)
    {
        return pressed ? b.m_pressedImages.imagePosition : b.m_normal.imagePosition;
    }
    static const std::shared_ptr<const graphics::BitmapData>& ButtonBackground(const Osp::Ui::Controls::Button& b,
                                                                               bool pressed)
    {
        return pressed ? b.m_pressedImages.background : b.m_normal.background;
    }
    static const std::vector<Osp::Ui::IActionEventListener*>& ActionListeners(const Osp::Ui::Controls::Button& b)
    {
        return b.m_actionListeners;
    }

    // Calls OnInitializing on `c` and its children that have not had it yet.
    static void Initialize(Osp::Ui::Control& c);
    // Calls OnTerminating on every initialized control under and including `c`.
    static void Terminate(Osp::Ui::Control& c);
    static bool IsInFrame(const Osp::Ui::Control& c);

    // Buttons: pressed look and action delivery.
    static void SetPressed(Osp::Ui::Controls::Button& b, bool pressed);
    static void FireAction(Osp::Ui::Controls::Button& b);

private:
    static void TakePictureChanges(const Osp::Ui::Control& c, int originX, int originY, bool parentShown,
                                   device::PixelRect& into);
};

} // namespace ui
