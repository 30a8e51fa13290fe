// The platform's view into controls: the compositor's walk over camera pictures, the
// life-cycle calls down the tree, and a button's pressed look and actions.
#include "ui/ControlAccess.h"

#include <algorithm>

#include "graphics/PreviewBuffer.h"
#include "ui/ControlEvents.h"

namespace ui {

using namespace Osp::Graphics;
using namespace Osp::Ui;
using namespace Osp::Ui::Controls;

using namespace Osp::Ui;
using namespace Osp::Ui::Controls;

int ControlAccess::ScrollOffset(const Control& c)
{
    const auto* sp = dynamic_cast<const ScrollPanel*>(&c);
    return sp ? sp->m_scrollY : 0;
}

std::uint64_t ControlAccess::PictureGeneration(const Control& c)
{
    std::uint64_t g = 0;
    if (const auto* op = dynamic_cast<const OverlayPanel*>(&c); op && op->m_pBackground) {
        g += op->m_pBackground->generation;
    }
    if (const auto* container = dynamic_cast<const Container*>(&c)) {
        for (const auto& child : container->m_children) {
            g += PictureGeneration(*child);
        }
    }
    return g;
}

void ControlAccess::TakePictureChanges(const Control& c, int originX, int originY, device::PixelRect& into)
{
    TakePictureChanges(c, originX, originY, true, into);
}

void ControlAccess::TakePictureChanges(const Control& c, int originX, int originY, bool parentShown,
                                       device::PixelRect& into)
{
    const Rectangle b = c.GetBounds();
    const int x = originX + b.x, y = originY + b.y;
    const bool shown = parentShown && c.GetShowState();
    if (const auto* op = dynamic_cast<const OverlayPanel*>(&c); op && op->m_pBackground) {
        device::PixelRect& changed = op->m_pBackground->changed;
        if (shown) {
            // The picture is drawn at the panel's corner and no further than the panel.
            const device::PixelRect seen = changed.Intersected({0, 0, b.width, b.height});
            into = into.United({x + seen.x, y + seen.y, seen.width, seen.height});
        }
        changed = {};
    }
    if (const auto* container = dynamic_cast<const Container*>(&c)) {
        for (const auto& child : container->m_children) {
            TakePictureChanges(*child, x, y - ScrollOffset(c), shown, into);
        }
    }
}

bool ControlAccess::IsInFrame(const Control& c)
{
    for (const Control* p = &c; p; p = p->m_pParent) {
        if (dynamic_cast<const Frame*>(p)) {
            return true;
        }
    }
    return false;
}

void ControlAccess::Initialize(Control& c)
{
    if (!c.m_initialized) {
        c.m_initialized = true;
        c.OnInitializing();
    }
    if (auto* container = dynamic_cast<Container*>(&c)) {
        // OnInitializing may add children, which are initialized as they join.
        for (size_t i = 0; i < container->m_children.size(); i++) {
            Initialize(*container->m_children[i]);
        }
    }
}

void ControlAccess::Terminate(Control& c)
{
    if (c.m_initialized) {
        c.m_initialized = false;
        c.OnTerminating();
    }
    if (auto* container = dynamic_cast<Container*>(&c)) {
        for (auto& child : container->m_children) {
            Terminate(*child);
        }
    }
}

void ControlAccess::SetPressed(Button& b, bool pressed)
{
    if (b.m_pressed != pressed) {
        b.m_pressed = pressed;
        ui::ScreenChanged();
    }
}

void ControlAccess::FireAction(Button& b)
{
    // A listener may remove itself or another while being told; one removed (and perhaps
    // deleted) is not told.
    const auto listeners = b.m_actionListeners;
    for (IActionEventListener* l : listeners) {
        if (std::find(b.m_actionListeners.begin(), b.m_actionListeners.end(), l) != b.m_actionListeners.end()) {
            l->OnActionPerformed(b, b.m_actionId);
        }
    }
}

} // namespace ui
