// The control tree: ownership, layout and visibility of controls, and how a change
// reaches the screen and the trace. The kinds of control are in ControlKinds.cpp.
#include <algorithm>
#include <string>

#include "base/Installed.h"
#include "base/Trace.h"
#include "graphics/BitmapData.h"
#include "graphics/Painter.h"
#include "osp/Ui.h"
#include "ui/ControlAccess.h"
#include "ui/ControlEvents.h"
#include "ui/Screen.h"

using namespace Osp::Base;
using namespace Osp::Graphics;

namespace ui {

void ScreenChanged()
{
    if (ScreenOwner* owner = base::Installed<ScreenOwner>()) {
        owner->Screen().Invalidate();
    }
}

void TraceCall(const Osp::Ui::Control& control, const std::string& name,
               std::vector<std::pair<std::string, std::string>> args)
{
    if (!trace::Enabled()) {
        return;
    }
    trace::Event e;
    e.name = name;
    e.target = ControlAccess::TraceName(control);
    e.args = std::move(args);
    trace::Emit(std::move(e));
}

std::string RectArg(const Rectangle& r)
{
    return "[" + trace::Num(r.x) + "," + trace::Num(r.y) + "," + trace::Num(r.width) + "," + trace::Num(r.height) + "]";
}

std::string BitmapArg(const Bitmap& b) { return b.GetData() ? trace::Quote(b.GetData()->name) : std::string("null"); }

} // namespace ui

namespace {
unsigned g_nextSerial = 1;
} // namespace

namespace Osp { namespace Ui {

Control::Control() : m_serial(g_nextSerial++) {}

Control::~Control() = default;

result Control::ConstructControl(const Rectangle& rect)
{
    ui::TraceCall(*this, std::string(ui::ControlAccess::ClassName(*this)) + "::Construct",
                  {{"rect", ui::RectArg(rect)}});
    if (m_constructed) {
        return E_INVALID_STATE;
    }
    if (rect.width < 0 || rect.height < 0) {
        return E_INVALID_ARG;
    }
    m_bounds = rect;
    m_constructed = true;
    return E_SUCCESS;
}

result Control::SetPosition(int x, int y)
{
    ui::TraceCall(*this, "Control::SetPosition", {{"x", trace::Num(x)}, {"y", trace::Num(y)}});
    m_bounds.x = x;
    m_bounds.y = y;
    ui::ScreenChanged();
    return E_SUCCESS;
}

result Control::SetBounds(const Rectangle& rect)
{
    ui::TraceCall(*this, "Control::SetBounds", {{"rect", ui::RectArg(rect)}});
    if (rect.width < 0 || rect.height < 0) {
        return E_INVALID_ARG;
    }
    m_bounds = rect;
    ui::ScreenChanged();
    return E_SUCCESS;
}

result Control::SetShowState(bool state)
{
    ui::TraceCall(*this, "Control::SetShowState", {{"show", trace::Bool(state)}});
    m_shown = state;
    ui::ScreenChanged();
    return E_SUCCESS;
}

result Control::Draw()
{
    ui::TraceCall(*this, "Control::Draw");
    ui::ScreenChanged();
    return E_SUCCESS;
}

result Control::Show()
{
    ui::TraceCall(*this, "Control::Show");
    ui::ScreenChanged();
    return E_SUCCESS;
}

result Control::RequestRedraw(bool show) const
{
    ui::TraceCall(*this, "Control::RequestRedraw", {{"show", trace::Bool(show)}});
    (void)show;
    ui::ScreenChanged();
    return E_SUCCESS;
}

void Control::SetBackgroundColor(const Color& color)
{
    ui::TraceCall(*this, "Control::SetBackgroundColor", {{"argb", trace::Num(color.GetRGB32())}});
    m_backgroundColor = color;
    m_hasBackgroundColor = true;
    ui::ScreenChanged();
}

void Control::AddTouchEventListener(const ITouchEventListener& listener)
{
    ui::TraceCall(*this, "Control::AddTouchEventListener");
    auto* p = const_cast<ITouchEventListener*>(&listener);
    if (std::find(m_touchListeners.begin(), m_touchListeners.end(), p) == m_touchListeners.end()) {
        m_touchListeners.push_back(p);
    }
}

void Control::RemoveTouchEventListener(const ITouchEventListener& listener)
{
    auto* p = const_cast<ITouchEventListener*>(&listener);
    m_touchListeners.erase(std::remove(m_touchListeners.begin(), m_touchListeners.end(), p), m_touchListeners.end());
}

void Control::Paint(const ui::Painter& painter) const
{
    if (m_hasBackgroundColor) {
        painter.Fill(Rectangle(0, 0, m_bounds.width, m_bounds.height), m_backgroundColor.GetRGB32());
    }
}

Container::~Container()
{
    // Children go last-added first, the reverse of building.
    while (!m_children.empty()) {
        m_children.pop_back();
    }
}

result Container::AddControl(const Control& control)
{
    ui::TraceCall(*this, "Container::AddControl", {{"control", trace::Quote(ui::ControlAccess::TraceName(control))}});
    auto& child = const_cast<Control&>(control);
    if (&child == this || child.m_pParent) {
        return E_INVALID_ARG;
    }
    for (const Container* p = this; p; p = p->m_pParent) {
        if (p == &child) {
            return E_INVALID_ARG;
        }
    }
    m_children.emplace_back(&child);
    child.m_pParent = this;
    ui::ScreenChanged();
    // A control that joins the application's frame is initialized before any event can
    // reach it.
    if (ui::ControlAccess::IsInFrame(*this)) {
        ui::ControlAccess::Initialize(child);
    }
    return E_SUCCESS;
}

result Container::RemoveControl(const Control& control)
{
    for (auto it = m_children.begin(); it != m_children.end(); ++it) {
        if (it->get() == &control) {
            std::unique_ptr<Control> gone = std::move(*it);
            m_children.erase(it);
            gone->m_pParent = nullptr;
            if (gone->m_initialized) {
                ui::ControlAccess::Terminate(*gone);
            }
            gone.reset();
            ui::ScreenChanged();
            return E_SUCCESS;
        }
    }
    return E_OBJ_NOT_FOUND;
}

Control* Container::GetControl(int index) const
{
    if (index < 0 || index >= GetControlCount()) {
        return nullptr;
    }
    return m_children[static_cast<size_t>(index)].get();
}

}} // namespace Osp::Ui
