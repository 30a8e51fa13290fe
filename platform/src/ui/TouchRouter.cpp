// Touch routing and gestures. Positions reported to listeners are relative to the
// control that took the press, also when the finger has left it.
#include "ui/TouchRouter.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "ui/ControlAccess.h"
#include "ui/Screen.h"

using namespace Osp::Graphics;
using namespace Osp::Ui;
using namespace Osp::Ui::Controls;

namespace ui {

namespace {
bool Contains(const Control& c, int x, int y)
{
    const Rectangle b = c.GetBounds();
    return x >= b.x && y >= b.y && x < b.x + b.width && y < b.y + b.height;
}

bool InTree(const Control& root, const Control* target)
{
    if (&root == target) {
        return true;
    }
    if (const auto* container = dynamic_cast<const Container*>(&root)) {
        for (const auto& child : ControlAccess::Children(*container)) {
            if (InTree(*child, target)) {
                return true;
            }
        }
    }
    return false;
}
} // namespace

Control* TouchRouter::HitTest(Control& root, int x, int y)
{
    // (x, y) is in root's parent's coordinates.
    if (!root.GetShowState() || !Contains(root, x, y)) {
        return nullptr;
    }
    const int lx = x - root.GetBounds().x;
    const int ly = y - root.GetBounds().y + ControlAccess::ScrollOffset(root);
    if (auto* container = dynamic_cast<Container*>(&root)) {
        const auto& children = ControlAccess::Children(*container);
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            if (Control* hit = HitTest(**it, lx, ly)) {
                return hit;
            }
        }
    }
    return ControlAccess::TakesTouches(root) ? &root : nullptr;
}

Point TouchRouter::FormPosition(const Control& control)
{
    Point p;
    for (const Control* c = &control; c; c = c->GetParent()) {
        if (dynamic_cast<const Form*>(c)) {
            break;
        }
        p.x += c->GetBounds().x;
        p.y += c->GetBounds().y;
        if (const Control* parent = c->GetParent()) {
            p.y -= ControlAccess::ScrollOffset(*parent);
        }
    }
    return p;
}

bool TouchRouter::CapturedStillThere() const
{
    const Form* form = m_screen.CurrentForm();
    return m_pCaptured && form && InTree(*form, m_pCaptured);
}

void TouchRouter::Reset()
{
    m_loop.Cancel(m_longPressTimer);
    m_longPressTimer = 0;
    m_pCaptured = nullptr;
    m_pLastPressed = nullptr;
    m_lastPressTime = -1;
}

void TouchRouter::Cancel()
{
    m_loop.Cancel(m_longPressTimer);
    m_longPressTimer = 0;
    if (CapturedStillThere()) {
        if (auto* button = dynamic_cast<Button*>(m_pCaptured)) {
            ControlAccess::SetPressed(*button, false);
        }
        Deliver(Kind::Released, m_last.x, m_last.y);
    }
    m_pCaptured = nullptr;
}

void TouchRouter::Deliver(Kind kind, int x, int y)
{
    Control& source = *m_pCaptured;
    const Point origin = FormPosition(source);
    const Point local(x - origin.x, y - origin.y);
    const Point start(m_start.x - origin.x, m_start.y - origin.y);
    static const TouchStatus status[] = {TOUCH_PRESSED,        TOUCH_LONG_PRESSED, TOUCH_RELEASED, TOUCH_MOVED,
                                         TOUCH_DOUBLE_PRESSED, TOUCH_FOCUS_IN,     TOUCH_FOCUS_OUT};
    const TouchEventInfo info(status[static_cast<int>(kind)], start, local);
    // A listener may change the listener list (or the tree) while being told; one removed
    // (and perhaps deleted) by another is not told.
    const auto listeners = ControlAccess::TouchListeners(source);
    for (ITouchEventListener* l : listeners) {
        const auto& now = ControlAccess::TouchListeners(source);
        if (std::find(now.begin(), now.end(), l) == now.end()) {
            continue;
        }
        switch (kind) {
        case Kind::Pressed: l->OnTouchPressed(source, local, info); break;
        case Kind::LongPressed: l->OnTouchLongPressed(source, local, info); break;
        case Kind::Released: l->OnTouchReleased(source, local, info); break;
        case Kind::Moved: l->OnTouchMoved(source, local, info); break;
        case Kind::DoublePressed: l->OnTouchDoublePressed(source, local, info); break;
        case Kind::FocusIn: l->OnTouchFocusIn(source, local, info); break;
        case Kind::FocusOut: l->OnTouchFocusOut(source, local, info); break;
        }
        if (!CapturedStillThere()) {
            return;
        }
    }
}

void TouchRouter::Press(int x, int y)
{
    if (m_pCaptured) {
        // A press without a release before it: end the old gesture first.
        Release(m_last.x, m_last.y);
    }
    Form* form = m_screen.CurrentForm();
    if (!form) {
        return;
    }
    // The form sits at the screen's origin, so screen points are form points.
    Control* hit = nullptr;
    if (form->GetShowState()) {
        const auto& children = ControlAccess::Children(*form);
        for (auto it = children.rbegin(); it != children.rend() && !hit; ++it) {
            hit = HitTest(**it, x, y);
        }
        if (!hit && ControlAccess::TakesTouches(*form)) {
            hit = form;
        }
    }
    if (!hit) {
        return;
    }
    m_pCaptured = hit;
    m_start = m_last = Point(x, y);
    m_inside = true;
    m_moved = false;
    if (auto* button = dynamic_cast<Button*>(hit)) {
        ControlAccess::SetPressed(*button, true);
    }
    const device::Micros now = m_loop.Now();
    const bool twice = m_pLastPressed == hit && m_lastPressTime >= 0 && now - m_lastPressTime <= kDoublePress &&
                       std::abs(x - m_lastPressPoint.x) <= kStillRadius &&
                       std::abs(y - m_lastPressPoint.y) <= kStillRadius;
    m_pLastPressed = hit;
    m_lastPressTime = twice ? -1 : now;
    m_lastPressPoint = Point(x, y);
    m_longPressTimer = m_loop.PostAfter(kLongPress, [this] { OnLongPressDue(); });
    Deliver(twice ? Kind::DoublePressed : Kind::Pressed, x, y);
}

void TouchRouter::OnLongPressDue()
{
    m_longPressTimer = 0;
    if (CapturedStillThere() && !m_moved) {
        Deliver(Kind::LongPressed, m_last.x, m_last.y);
    }
}

void TouchRouter::Move(int x, int y)
{
    if (!CapturedStillThere()) {
        m_pCaptured = nullptr;
        return;
    }
    if (x == m_last.x && y == m_last.y) {
        return;
    }
    const int dy = y - m_last.y;
    m_last = Point(x, y);
    if (std::abs(x - m_start.x) > kStillRadius || std::abs(y - m_start.y) > kStillRadius) {
        m_moved = true;
        m_loop.Cancel(m_longPressTimer);
        m_longPressTimer = 0;
    }
    if (auto* scroll = dynamic_cast<ScrollPanel*>(m_pCaptured)) {
        // The content follows the finger.
        scroll->SetScrollPosition(scroll->GetScrollPosition() - dy);
    }
    const Point origin = FormPosition(*m_pCaptured);
    const Rectangle b = m_pCaptured->GetBounds();
    const bool inside = x >= origin.x && y >= origin.y && x < origin.x + b.width && y < origin.y + b.height;
    if (inside != m_inside) {
        m_inside = inside;
        if (auto* button = dynamic_cast<Button*>(m_pCaptured)) {
            ControlAccess::SetPressed(*button, inside);
        }
        Deliver(inside ? Kind::FocusIn : Kind::FocusOut, x, y);
        if (!CapturedStillThere()) {
            return;
        }
    }
    Deliver(Kind::Moved, x, y);
}

void TouchRouter::Release(int x, int y)
{
    m_loop.Cancel(m_longPressTimer);
    m_longPressTimer = 0;
    if (!CapturedStillThere()) {
        m_pCaptured = nullptr;
        return;
    }
    if (x != m_last.x || y != m_last.y) {
        Move(x, y);
        if (!CapturedStillThere()) {
            m_pCaptured = nullptr;
            return;
        }
    }
    Control* source = m_pCaptured;
    Deliver(Kind::Released, x, y);
    if (CapturedStillThere()) {
        if (auto* button = dynamic_cast<Button*>(source)) {
            const bool fire = button->IsPressed();
            ControlAccess::SetPressed(*button, false);
            // Lifted over the button: it acts.
            if (fire) {
                ControlAccess::FireAction(*button);
            }
        }
    }
    m_pCaptured = nullptr;
}

} // namespace ui
