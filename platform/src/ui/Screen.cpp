// The compositor. Bottom to top: the form's background, each shown control in the order
// it was added (an overlay panel paints the camera picture first), then the canvas the
// application showed last, which belongs to the camera panel and shows only with it.
#include "ui/Screen.h"

#include <algorithm>

#include <pixman.h>

#include "device/PixmanImage.h"
#include "graphics/Painter.h"
#include "osp/Ui.h"
#include "ui/ControlAccess.h"

using namespace Osp::Ui;
using namespace Osp::Ui::Controls;

namespace ui {

Screen::Screen(device::Display& display) : m_display(display) { m_display.SetContent(this); }

Screen::~Screen()
{
    if (m_display.GetContent() == this) {
        m_display.SetContent(nullptr);
    }
}

void Screen::SetFrame(Frame* frame)
{
    m_pFrame = frame;
    m_canvasOps.clear();
    Invalidate();
}

Form* Screen::CurrentForm() const { return m_pFrame ? m_pFrame->GetCurrentForm() : nullptr; }

bool Screen::Portrait() const
{
    const Form* form = CurrentForm();
    return form && form->GetOrientation() == ORIENTATION_PORTRAIT;
}

std::uint64_t Screen::Version() const
{
    // Camera frames change the picture without telling the screen.
    std::uint64_t v = m_version;
    if (const Form* form = CurrentForm()) {
        v += ui::ControlAccess::PictureGeneration(*form);
    }
    return v;
}

namespace {

bool SameOps(const std::vector<graphics::DrawOp>& a, const std::vector<graphics::DrawOp>& b)
{
    // Bitmaps never change their pixels (a new picture is new data), and the shown list
    // keeps the old ones alive, so the same data is the same picture.
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const graphics::DrawOp& x, const graphics::DrawOp& y) {
        return x.bitmap == y.bitmap && x.point == y.point && x.pivot == y.pivot && x.angle == y.angle &&
               x.turned == y.turned;
    });
}

} // namespace

void Screen::ShowCanvas(const graphics::CanvasImpl& canvas)
{
    // Most frames show the canvas just as before: the screen then stays as it is.
    const bool same = canvas.bounds == m_canvasBounds && SameOps(canvas.ops, m_canvasOps);
    if (!same) {
        m_canvasOps = canvas.ops;
        m_canvasBounds = canvas.bounds;
        Invalidate();
    }
    ++m_canvasShows;
    if (m_canvasObserver) {
        m_canvasObserver(m_canvasOps);
    }
}

namespace {

int CoveringChild(const Container& container)
{
    if (ui::ControlAccess::ScrollOffset(container) != 0) {
        return -1;
    }
    const auto& children = ui::ControlAccess::Children(container);
    const auto size = container.GetBounds();
    for (size_t i = children.size(); i-- > 0;) {
        const Control& c = *children[i];
        const auto b = c.GetBounds();
        if (c.GetShowState() && ui::ControlAccess::IsOverlayPanel(c) && b.x <= 0 && b.y <= 0 &&
            b.x + b.width >= size.width && b.y + b.height >= size.height) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void PaintTree(const Control& control, const ui::Painter& parent, bool& cameraPanelShown)
{
    if (!control.GetShowState()) {
        return;
    }
    ui::Painter painter = parent.Child(control.GetBounds());
    if (painter.ClipEmpty()) {
        return;
    }
    const auto* container = dynamic_cast<const Container*>(&control);
    // A shown camera panel covering its whole container hides everything under it: the
    // container's background and the children before it are not painted.
    const int cover = container ? CoveringChild(*container) : -1;
    if (cover < 0) {
        ui::ControlAccess::Paint(control, painter);
    }
    if (ui::ControlAccess::IsOverlayPanel(control)) {
        cameraPanelShown = true;
    }
    if (container) {
        const ui::Painter content = painter.Shifted(0, -ui::ControlAccess::ScrollOffset(control));
        const auto& children = ui::ControlAccess::Children(*container);
        for (size_t i = cover < 0 ? 0 : static_cast<size_t>(cover); i < children.size(); i++) {
            PaintTree(*children[i], content, cameraPanelShown);
        }
    }
}

} // namespace

void Screen::Draw(const device::PixelView& view) { DrawWithin(view, {0, 0, view.width, view.height}); }

device::PixelRect Screen::DrawChanges(const device::PixelView& view, bool targetHoldsLast)
{
    const device::PixelRect whole{0, 0, view.width, view.height};
    device::PixelRect changed;
    if (const Form* form = CurrentForm()) {
        ui::ControlAccess::TakePictureChanges(*form, 0, 0, changed);
    }
    if (m_allChanged || !targetHoldsLast) {
        changed = whole;
    }
    m_allChanged = false;
    changed = changed.Intersected(whole);
    if (!changed.Empty()) {
        DrawWithin(view, changed);
    }
    return changed;
}

void Screen::DrawWithin(const device::PixelView& view, const device::PixelRect& area)
{
    const device::PixmanImage target(
        pixman_image_create_bits(PIXMAN_a8r8g8b8, view.width, view.height, view.pixels, view.stride));
    const ui::Painter screen =
        ui::Painter(target.get(), view.width, view.height).Within(area.x, area.y, area.width, area.height);
    bool cameraPanelShown = false;
    if (const Form* form = CurrentForm()) {
        PaintTree(*form, screen, cameraPanelShown);
    }
    if (cameraPanelShown) {
        const ui::Painter canvas = screen.Child(m_canvasBounds);
        for (const auto& op : m_canvasOps) {
            if (op.turned) {
                canvas.DrawBitmapTurned(*op.bitmap, op.point.x, op.point.y, op.pivot.x, op.pivot.y, op.angle);
            } else {
                canvas.DrawBitmap(*op.bitmap, op.point.x, op.point.y);
            }
        }
    }
}

} // namespace ui
