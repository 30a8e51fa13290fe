// The kinds of control the application builds its forms from, and how each paints
// itself: forms and frames, panels (the overlay panel with its camera picture, the
// scroll panel), labels and buttons.
#include <algorithm>
#include <new>
#include <string>

#include "base/Log.h"
#include "base/Trace.h"
#include "graphics/BitmapData.h"
#include "graphics/Painter.h"
#include "graphics/PreviewBuffer.h"
#include "osp/Ui.h"
#include "ui/ControlAccess.h"
#include "ui/ControlEvents.h"
#include "ui/Screen.h"

using namespace Osp::Base;
using namespace Osp::Graphics;

namespace Osp { namespace Ui { namespace Controls {

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
    ui::TraceCall(*this, "Form::SetOrientation",
                  {{"orientation", trace::Quote(orientation == ORIENTATION_PORTRAIT    ? "portrait"
                                                : orientation == ORIENTATION_LANDSCAPE ? "landscape"
                                                                                       : "other")}});
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

void Form::Paint(const ui::Painter& painter) const { Control::Paint(painter); }

result Frame::SetCurrentForm(const Form& form)
{
    ui::TraceCall(*this, "Frame::SetCurrentForm", {{"form", trace::Quote(ui::ControlAccess::TraceName(form))}});
    for (int i = 0; i < GetControlCount(); i++) {
        if (GetControl(i) == &form) {
            m_pCurrentForm = const_cast<Form*>(&form);
            ui::ScreenChanged();
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
        auto background = std::make_shared<graphics::PreviewBuffer>();
        background->width = rect.width;
        background->height = rect.height;
        background->pixels.assign(static_cast<size_t>(rect.width) * rect.height, 0xFF000000u);
        m_pBackground = std::move(background);
    } catch (const std::bad_alloc&) {
        OSP_PLATFORM_LOG("overlay panel: no memory for a " + std::to_string(rect.width) + "x" +
                         std::to_string(rect.height) + " background buffer");
        return E_OUT_OF_MEMORY;
    }
    graphics::PreviewBuffers::Register(m_pBackground);
    return E_SUCCESS;
}

result OverlayPanel::GetBackgroundBufferInfo(BufferInfo& bufferInfo) const
{
    ui::TraceCall(*this, "OverlayPanel::GetBackgroundBufferInfo");
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

result ScrollPanel::Construct(const Rectangle& rect) { return Panel::Construct(rect, GROUP_STYLE_NONE); }

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
    ui::ScreenChanged();
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
    ui::TraceCall(*this, "Label::SetBackgroundBitmap", {{"bitmap", ui::BitmapArg(bitmap)}});
    m_pBackground = bitmap.GetData();
    ui::ScreenChanged();
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
    ui::TraceCall(*this, "Button::SetNormalBitmap",
                  {{"x", trace::Num(position.x)}, {"y", trace::Num(position.y)}, {"bitmap", ui::BitmapArg(bitmap)}});
    if (bitmap.GetData()) {
        m_normal.image = bitmap.GetData();
        m_normal.imagePosition = position;
        ui::ScreenChanged();
    }
}

void Button::SetNormalBackgroundBitmap(const Bitmap& bitmap)
{
    ui::TraceCall(*this, "Button::SetNormalBackgroundBitmap", {{"bitmap", ui::BitmapArg(bitmap)}});
    if (bitmap.GetData()) {
        m_normal.background = bitmap.GetData();
        ui::ScreenChanged();
    }
}

void Button::SetPressedBitmap(const Point& position, const Bitmap& bitmap)
{
    ui::TraceCall(*this, "Button::SetPressedBitmap",
                  {{"x", trace::Num(position.x)}, {"y", trace::Num(position.y)}, {"bitmap", ui::BitmapArg(bitmap)}});
    if (bitmap.GetData()) {
        m_pressedImages.image = bitmap.GetData();
        m_pressedImages.imagePosition = position;
        ui::ScreenChanged();
    }
}

void Button::SetPressedBackgroundBitmap(const Bitmap& bitmap)
{
    ui::TraceCall(*this, "Button::SetPressedBackgroundBitmap", {{"bitmap", ui::BitmapArg(bitmap)}});
    if (bitmap.GetData()) {
        m_pressedImages.background = bitmap.GetData();
        ui::ScreenChanged();
    }
}

void Button::SetActionId(int actionId)
{
    ui::TraceCall(*this, "Button::SetActionId", {{"actionId", trace::Num(actionId)}});
    m_actionId = actionId;
}

void Button::AddActionEventListener(const IActionEventListener& listener)
{
    ui::TraceCall(*this, "Button::AddActionEventListener");
    auto* p = const_cast<IActionEventListener*>(&listener);
    if (std::find(m_actionListeners.begin(), m_actionListeners.end(), p) == m_actionListeners.end()) {
        m_actionListeners.push_back(p);
    }
}

void Button::RemoveActionEventListener(const IActionEventListener& listener)
{
    auto* p = const_cast<IActionEventListener*>(&listener);
    m_actionListeners.erase(std::remove(m_actionListeners.begin(), m_actionListeners.end(), p),
                            m_actionListeners.end());
}

void Button::Paint(const ui::Painter& painter) const
{
    Control::Paint(painter);
    // A pressed state without images of its own looks like the normal one.
    const StateImages& s =
        (m_pressed && (m_pressedImages.image || m_pressedImages.background)) ? m_pressedImages : m_normal;
    if (s.background) {
        painter.DrawBitmapScaled(*s.background, Rectangle(0, 0, GetBounds().width, GetBounds().height));
    }
    if (s.image) {
        painter.DrawBitmap(*s.image, s.imagePosition.x, s.imagePosition.y);
    }
}

}}} // namespace Osp::Ui::Controls
