// The control tree: ownership, layout and visibility of controls, and how each kind
// paints itself on the screen.
#include <algorithm>
#include <new>
#include <string>

#include "base/Log.h"
#include "base/Trace.h"
#include "app/Platform.h"
#include "graphics/BitmapData.h"
#include "graphics/Painter.h"
#include "osp/Ui.h"
#include "ui/ControlAccess.h"
#include "ui/OverlayBuffer.h"

using namespace Osp::Base;
using namespace Osp::Graphics;

namespace {
void ScreenChanged()
{
    if (app::Platform* platform = app::Platform::Current()) {
        platform->Screen().Invalidate();
    }
}
unsigned g_nextSerial = 1;

void Trace(const Osp::Ui::Control& control, const std::string& name,
           std::vector<std::pair<std::string, std::string>> args = {})
{
    if (!trace::Enabled()) {
        return;
    }
    trace::Event e;
    e.name = name;
    e.target = ui::ControlAccess::TraceName(control);
    e.args = std::move(args);
    trace::Emit(std::move(e));
}

std::string RectArg(const Rectangle& r)
{
    return "[" + trace::Num(r.x) + "," + trace::Num(r.y) + "," + trace::Num(r.width) + "," + trace::Num(r.height) + "]";
}

std::string BitmapArg(const Bitmap& b)
{
    return b.GetData() ? trace::Quote(b.GetData()->name) : std::string("null");
}
} // namespace

namespace Osp { namespace Ui {

Control::Control() : m_serial(g_nextSerial++) {}

Control::~Control() = default;

result Control::ConstructControl(const Rectangle& rect)
{
    Trace(*this, std::string(ui::ControlAccess::ClassName(*this)) + "::Construct", {{"rect", RectArg(rect)}});
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
    Trace(*this, "Control::SetPosition", {{"x", trace::Num(x)}, {"y", trace::Num(y)}});
    m_bounds.x = x;
    m_bounds.y = y;
    ScreenChanged();
    return E_SUCCESS;
}

result Control::SetBounds(const Rectangle& rect)
{
    Trace(*this, "Control::SetBounds", {{"rect", RectArg(rect)}});
    if (rect.width < 0 || rect.height < 0) {
        return E_INVALID_ARG;
    }
    m_bounds = rect;
    ScreenChanged();
    return E_SUCCESS;
}

result Control::SetShowState(bool state)
{
    Trace(*this, "Control::SetShowState", {{"show", trace::Bool(state)}});
    m_shown = state;
    ScreenChanged();
    return E_SUCCESS;
}

result Control::Draw()
{
    Trace(*this, "Control::Draw");
    ScreenChanged();
    return E_SUCCESS;
}

result Control::Show()
{
    Trace(*this, "Control::Show");
    ScreenChanged();
    return E_SUCCESS;
}

result Control::RequestRedraw(bool show) const
{
    Trace(*this, "Control::RequestRedraw", {{"show", trace::Bool(show)}});
    (void)show;
    ScreenChanged();
    return E_SUCCESS;
}

void Control::SetBackgroundColor(const Color& color)
{
    Trace(*this, "Control::SetBackgroundColor", {{"argb", trace::Num(color.GetRGB32())}});
    m_backgroundColor = color;
    m_hasBackgroundColor = true;
    ScreenChanged();
}

void Control::AddTouchEventListener(const ITouchEventListener& listener)
{
    Trace(*this, "Control::AddTouchEventListener");
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
    Trace(*this, "Container::AddControl", {{"control", trace::Quote(ui::ControlAccess::TraceName(control))}});
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
    ScreenChanged();
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
            ScreenChanged();
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

namespace Controls {

result Form::Construct(unsigned long formStyle)
{
    (void)formStyle; // no title bar, indicator or soft keys on this phone
    result r = ConstructControl(Rectangle(0, 0, ui::Screen::kLongSide, ui::Screen::kShortSide));
    if (r == E_SUCCESS) {
        const trace::Quiet quiet;
        SetBackgroundColor(Color::COLOR_BLACK);
    }
    return r;
}

result Form::SetOrientation(Orientation orientation)
{
    Trace(*this, "Form::SetOrientation", {{"orientation", trace::Quote(orientation == ORIENTATION_PORTRAIT ? "portrait" : orientation == ORIENTATION_LANDSCAPE ? "landscape" : "other")}});
    if (orientation != ORIENTATION_PORTRAIT && orientation != ORIENTATION_LANDSCAPE) {
        return E_INVALID_ARG;
    }
    m_orientation = orientation;
    const bool portrait = orientation == ORIENTATION_PORTRAIT;
    const trace::Quiet quiet;
    SetBounds(Rectangle(0, 0, portrait ? ui::Screen::kShortSide : ui::Screen::kLongSide,
                        portrait ? ui::Screen::kLongSide : ui::Screen::kShortSide));
    return E_SUCCESS;
}

void Form::Paint(const ui::Painter& painter) const
{
    Control::Paint(painter);
}

result Frame::SetCurrentForm(const Form& form)
{
    Trace(*this, "Frame::SetCurrentForm", {{"form", trace::Quote(ui::ControlAccess::TraceName(form))}});
    for (int i = 0; i < GetControlCount(); i++) {
        if (GetControl(i) == &form) {
            m_pCurrentForm = const_cast<Form*>(&form);
            ScreenChanged();
            return E_SUCCESS;
        }
    }
    return E_INVALID_ARG;
}

result Panel::Construct(const Rectangle& rect, GroupStyle groupStyle)
{
    (void)groupStyle;
    return ConstructControl(rect);
}

OverlayPanel::OverlayPanel() = default;
OverlayPanel::~OverlayPanel() = default;

result OverlayPanel::Construct(const Rectangle& rect)
{
    result r = Panel::Construct(rect, GROUP_STYLE_NONE);
    if (r != E_SUCCESS) {
        return r;
    }
    // The camera's frames land in this buffer; without memory for it the panel has no
    // background and the camera nowhere to show its picture.
    try {
        auto background = std::make_shared<ui::OverlayBuffer>();
        background->width = rect.width;
        background->height = rect.height;
        background->pixels.assign(static_cast<size_t>(rect.width) * rect.height, 0xFF000000u);
        m_pBackground = std::move(background);
    } catch (const std::bad_alloc&) {
        OSP_PLATFORM_LOG("overlay panel: no memory for a " + std::to_string(rect.width) + "x" +
                         std::to_string(rect.height) + " background buffer");
        return E_OUT_OF_MEMORY;
    }
    if (app::Platform* platform = app::Platform::Current()) {
        platform->Cameras().RegisterOverlay(m_pBackground);
    }
    return E_SUCCESS;
}

result OverlayPanel::GetBackgroundBufferInfo(BufferInfo& bufferInfo) const
{
    Trace(*this, "OverlayPanel::GetBackgroundBufferInfo");
    if (!m_pBackground) {
        return E_INVALID_STATE;
    }
    bufferInfo.width = m_pBackground->width;
    bufferInfo.height = m_pBackground->height;
    bufferInfo.pitch = m_pBackground->width * 4;
    bufferInfo.bitsPerPixel = 32;
    bufferInfo.pixelFormat = PIXEL_FORMAT_ARGB8888;
    bufferInfo.pPixels = m_pBackground->pixels.data();
    return E_SUCCESS;
}

void OverlayPanel::Paint(const ui::Painter& painter) const
{
    if (m_pBackground) {
        painter.CopyPixels(m_pBackground->pixels.data(), m_pBackground->width, m_pBackground->height, 0, 0);
    }
}

result ScrollPanel::Construct(const Rectangle& rect)
{
    return Panel::Construct(rect, GROUP_STYLE_NONE);
}

int ScrollPanel::GetScrollRange() const
{
    int bottom = 0;
    for (int i = 0; i < GetControlCount(); i++) {
        const Rectangle b = GetControl(i)->GetBounds();
        bottom = std::max(bottom, b.y + b.height);
    }
    return std::max(0, bottom - GetBounds().height);
}

void ScrollPanel::SetScrollPosition(int y)
{
    m_scrollY = std::clamp(y, 0, GetScrollRange());
    ScreenChanged();
}

result Label::Construct(const Rectangle& rect, const String& text)
{
    result r = ConstructControl(rect);
    if (r == E_SUCCESS) {
        m_text = text;
    }
    return r;
}

void Label::SetBackgroundBitmap(const Bitmap& bitmap)
{
    Trace(*this, "Label::SetBackgroundBitmap", {{"bitmap", BitmapArg(bitmap)}});
    m_pBackground = bitmap.GetData();
    ScreenChanged();
}

void Label::Paint(const ui::Painter& painter) const
{
    Control::Paint(painter);
    if (m_pBackground) {
        painter.DrawBitmapScaled(*m_pBackground, Rectangle(0, 0, GetBounds().width, GetBounds().height));
    }
}

result Button::Construct(const Rectangle& rect, const String& text)
{
    result r = ConstructControl(rect);
    if (r == E_SUCCESS) {
        m_text = text;
    }
    return r;
}

void Button::SetNormalBitmap(const Point& position, const Bitmap& bitmap)
{
    Trace(*this, "Button::SetNormalBitmap", {{"x", trace::Num(position.x)}, {"y", trace::Num(position.y)}, {"bitmap", BitmapArg(bitmap)}});
    if (bitmap.GetData()) {
        m_normal.image = bitmap.GetData();
        m_normal.imagePosition = position;
        ScreenChanged();
    }
}

void Button::SetNormalBackgroundBitmap(const Bitmap& bitmap)
{
    Trace(*this, "Button::SetNormalBackgroundBitmap", {{"bitmap", BitmapArg(bitmap)}});
    if (bitmap.GetData()) {
        m_normal.background = bitmap.GetData();
        ScreenChanged();
    }
}

void Button::SetPressedBitmap(const Point& position, const Bitmap& bitmap)
{
    Trace(*this, "Button::SetPressedBitmap", {{"x", trace::Num(position.x)}, {"y", trace::Num(position.y)}, {"bitmap", BitmapArg(bitmap)}});
    if (bitmap.GetData()) {
        m_pressedImages.image = bitmap.GetData();
        m_pressedImages.imagePosition = position;
        ScreenChanged();
    }
}

void Button::SetPressedBackgroundBitmap(const Bitmap& bitmap)
{
    Trace(*this, "Button::SetPressedBackgroundBitmap", {{"bitmap", BitmapArg(bitmap)}});
    if (bitmap.GetData()) {
        m_pressedImages.background = bitmap.GetData();
        ScreenChanged();
    }
}

void Button::SetActionId(int actionId)
{
    Trace(*this, "Button::SetActionId", {{"actionId", trace::Num(actionId)}});
    m_actionId = actionId;
}

void Button::AddActionEventListener(const IActionEventListener& listener)
{
    Trace(*this, "Button::AddActionEventListener");
    auto* p = const_cast<IActionEventListener*>(&listener);
    if (std::find(m_actionListeners.begin(), m_actionListeners.end(), p) == m_actionListeners.end()) {
        m_actionListeners.push_back(p);
    }
}

void Button::RemoveActionEventListener(const IActionEventListener& listener)
{
    auto* p = const_cast<IActionEventListener*>(&listener);
    m_actionListeners.erase(std::remove(m_actionListeners.begin(), m_actionListeners.end(), p), m_actionListeners.end());
}

void Button::Paint(const ui::Painter& painter) const
{
    Control::Paint(painter);
    // A pressed state without images of its own looks like the normal one.
    const StateImages& s = (m_pressed && (m_pressedImages.image || m_pressedImages.background)) ? m_pressedImages : m_normal;
    if (s.background) {
        painter.DrawBitmapScaled(*s.background, Rectangle(0, 0, GetBounds().width, GetBounds().height));
    }
    if (s.image) {
        painter.DrawBitmap(*s.image, s.imagePosition.x, s.imagePosition.y);
    }
}

} // namespace Controls
}} // namespace Osp::Ui

namespace ui {

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
        ScreenChanged();
    }
}

void ControlAccess::FireAction(Button& b)
{
    // A listener may remove itself while being told.
    const auto listeners = b.m_actionListeners;
    for (IActionEventListener* l : listeners) {
        l->OnActionPerformed(b, b.m_actionId);
    }
}

} // namespace ui
