// The platform's view into controls: the compositor, touch routing and the trace read
// the tree through here rather than through the application's API.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "osp/Ui.h"

namespace ui {

class Painter;

class ControlAccess {
public:
    static const std::vector<std::unique_ptr<Osp::Ui::Control>>& Children(const Osp::Ui::Container& c) { return c.m_children; }
    static void Paint(const Osp::Ui::Control& c, const Painter& painter) { c.Paint(painter); }
    static bool TakesTouches(const Osp::Ui::Control& c) { return c.TakesTouches() || !c.m_touchListeners.empty(); }
    static const std::vector<Osp::Ui::ITouchEventListener*>& TouchListeners(const Osp::Ui::Control& c) { return c.m_touchListeners; }
    static const char* ClassName(const Osp::Ui::Control& c) { return c.ClassName(); }
    static bool IsOverlayPanel(const Osp::Ui::Control& c) { return dynamic_cast<const Osp::Ui::Controls::OverlayPanel*>(&c) != nullptr; }
    static int ScrollOffset(const Osp::Ui::Control& c);
    // The sum of the camera-frame counters of the overlay panels under `c`.
    static std::uint64_t PictureGeneration(const Osp::Ui::Control& c);
    static const std::shared_ptr<OverlayBuffer>& Background(const Osp::Ui::Controls::OverlayPanel& p) { return p.m_pBackground; }

    // Calls OnInitializing on `c` and its children that have not had it yet.
    static void Initialize(Osp::Ui::Control& c);
    // Calls OnTerminating on every initialized control under and including `c`.
    static void Terminate(Osp::Ui::Control& c);
    static bool IsInFrame(const Osp::Ui::Control& c);

    // Buttons: pressed look and action delivery.
    static void SetPressed(Osp::Ui::Controls::Button& b, bool pressed);
    static void FireAction(Osp::Ui::Controls::Button& b);
};

} // namespace ui
