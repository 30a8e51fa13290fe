// The Osp::Ui and Osp::Ui::Controls namespaces: the control tree (frame, forms, panels,
// labels, buttons) and the touch and action listeners the application implements.
#pragma once

#include <memory>
#include <vector>

#include "osp/Base.h"
#include "osp/Graphics.h"

namespace ui {
class ControlAccess;
class Painter;
} // namespace ui
namespace graphics {
struct PreviewBuffer;
}

namespace Osp { namespace Ui {

class Control;

enum Orientation {
    ORIENTATION_NONE = 0,
    ORIENTATION_PORTRAIT = 1,
    ORIENTATION_LANDSCAPE = 2,
    ORIENTATION_PORTRAIT_REVERSE = 3,
    ORIENTATION_LANDSCAPE_REVERSE = 4,
};

enum TouchStatus {
    TOUCH_PRESSED,
    TOUCH_LONG_PRESSED,
    TOUCH_RELEASED,
    TOUCH_MOVED,
    TOUCH_DOUBLE_PRESSED,
    TOUCH_FOCUS_IN,
    TOUCH_FOCUS_OUT,
};

class TouchEventInfo : public Osp::Base::Object {
public:
    TouchEventInfo() = default;
    TouchEventInfo(TouchStatus status, const Osp::Graphics::Point& start, const Osp::Graphics::Point& current)
        : m_status(status), m_start(start), m_current(current)
    {}
    TouchStatus GetTouchStatus() const { return m_status; }
    Osp::Graphics::Point GetStartPosition() const { return m_start; }
    Osp::Graphics::Point GetCurrentPosition() const { return m_current; }

private:
    TouchStatus m_status = TOUCH_PRESSED;
    Osp::Graphics::Point m_start;
    Osp::Graphics::Point m_current;
};

class IActionEventListener {
public:
    virtual ~IActionEventListener() = default;
    virtual void OnActionPerformed(const Control& source, int actionId) = 0;
};

// Positions are relative to `source`, the control the gesture belongs to.
class ITouchEventListener {
public:
    virtual ~ITouchEventListener() = default;
    virtual void OnTouchPressed(const Control& source, const Osp::Graphics::Point& currentPosition,
                                const TouchEventInfo& touchInfo) = 0;
    virtual void OnTouchLongPressed(const Control& source, const Osp::Graphics::Point& currentPosition,
                                    const TouchEventInfo& touchInfo) = 0;
    virtual void OnTouchReleased(const Control& source, const Osp::Graphics::Point& currentPosition,
                                 const TouchEventInfo& touchInfo) = 0;
    virtual void OnTouchMoved(const Control& source, const Osp::Graphics::Point& currentPosition,
                              const TouchEventInfo& touchInfo) = 0;
    virtual void OnTouchDoublePressed(const Control& source, const Osp::Graphics::Point& currentPosition,
                                      const TouchEventInfo& touchInfo) = 0;
    virtual void OnTouchFocusIn(const Control& source, const Osp::Graphics::Point& currentPosition,
                                const TouchEventInfo& touchInfo) = 0;
    virtual void OnTouchFocusOut(const Control& source, const Osp::Graphics::Point& currentPosition,
                                 const TouchEventInfo& touchInfo) = 0;
};

class Container;

class Control : public Osp::Base::Object {
public:
    Control();
    ~Control() override;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Called by the platform once the control is part of the application's frame,
    // before any event reaches it, and once more at the end.
    virtual Osp::Base::result OnInitializing() { return Osp::Base::E_SUCCESS; }
    virtual Osp::Base::result OnTerminating() { return Osp::Base::E_SUCCESS; }

    Osp::Graphics::Point GetPosition() const { return Osp::Graphics::Point(m_bounds.x, m_bounds.y); }
    Osp::Base::result SetPosition(int x, int y);
    Osp::Base::result SetPosition(const Osp::Graphics::Point& position) { return SetPosition(position.x, position.y); }
    Osp::Graphics::Rectangle GetBounds() const { return m_bounds; }
    Osp::Base::result SetBounds(const Osp::Graphics::Rectangle& rect);
    Osp::Graphics::Dimension GetSize() const { return Osp::Graphics::Dimension(m_bounds.width, m_bounds.height); }

    Osp::Base::result SetShowState(bool state);
    bool GetShowState() const { return m_shown; }
    Osp::Base::result Draw();
    Osp::Base::result Show();
    Osp::Base::result RequestRedraw(bool show = true) const;

    void SetBackgroundColor(const Osp::Graphics::Color& color);
    Osp::Graphics::Color GetBackgroundColor() const { return m_backgroundColor; }

    void AddTouchEventListener(const ITouchEventListener& listener);
    void RemoveTouchEventListener(const ITouchEventListener& listener);

    Container* GetParent() const { return m_pParent; }

protected:
    Osp::Base::result ConstructControl(const Osp::Graphics::Rectangle& rect);
    bool IsConstructed() const { return m_constructed; }

    // Paints the control's own content (children are painted by the compositor), in
    // the control's coordinates.
    virtual void Paint(const ui::Painter& painter) const;
    // Whether the control takes touches even with no touch listener (buttons, scroll panels).
    virtual bool TakesTouches() const { return false; }
    virtual const char* ClassName() const { return "Control"; }

private:
    friend class ui::ControlAccess;
    friend class Container;

    Osp::Graphics::Rectangle m_bounds;
    Osp::Graphics::Color m_backgroundColor;
    bool m_hasBackgroundColor = false;
    bool m_shown = true;
    bool m_constructed = false;
    bool m_initialized = false;
    Container* m_pParent = nullptr;
    std::vector<ITouchEventListener*> m_touchListeners;
    unsigned m_serial; // names the control in traces: "Button#7"
};

class Container : public Control {
public:
    Container() = default;
    // A container owns its children and destroys them with itself.
    ~Container() override;

    // The container takes ownership of the control.
    Osp::Base::result AddControl(const Control& control);
    // Removes and destroys the control.
    Osp::Base::result RemoveControl(const Control& control);
    int GetControlCount() const { return static_cast<int>(m_children.size()); }
    Control* GetControl(int index) const;

private:
    friend class ui::ControlAccess;
    const char* ClassName() const override { return "Container"; }
    std::vector<std::unique_ptr<Control>> m_children;
};

namespace Controls {

enum FormStyle {
    FORM_STYLE_NORMAL = 0x00000000,
    FORM_STYLE_TITLE = 0x00000001,
    FORM_STYLE_INDICATOR = 0x00000002,
    FORM_STYLE_SOFTKEY_0 = 0x00000010,
    FORM_STYLE_SOFTKEY_1 = 0x00000020,
};

enum GroupStyle {
    GROUP_STYLE_NONE = 0,
    GROUP_STYLE_SINGLE,
    GROUP_STYLE_TOP,
    GROUP_STYLE_MIDDLE,
    GROUP_STYLE_BOTTOM,
};

class Form : public Container {
public:
    Form() = default;
    ~Form() override = default;
    // A full-screen form; FORM_STYLE_NORMAL has no title bar, indicator or soft keys.
    Osp::Base::result Construct(unsigned long formStyle);
    Osp::Base::result SetOrientation(Orientation orientation);
    Orientation GetOrientation() const { return m_orientation; }

private:
    void Paint(const ui::Painter& painter) const override;
    const char* ClassName() const override { return "Form"; }
    Orientation m_orientation = ORIENTATION_LANDSCAPE;
};

class Frame : public Container {
public:
    Frame() = default;
    ~Frame() override = default;
    Osp::Base::result SetCurrentForm(const Form& form);
    Form* GetCurrentForm() const { return m_pCurrentForm; }

private:
    friend class ui::ControlAccess;
    const char* ClassName() const override { return "Frame"; }
    Form* m_pCurrentForm = nullptr;
};

class Panel : public Container {
public:
    Panel() = default;
    ~Panel() override = default;
    Osp::Base::result Construct(const Osp::Graphics::Rectangle& rect, GroupStyle groupStyle = GROUP_STYLE_NONE);

private:
    const char* ClassName() const override { return "Panel"; }
};

// A panel whose background shows the camera preview.
class OverlayPanel : public Panel {
public:
    OverlayPanel();
    ~OverlayPanel() override;
    Osp::Base::result Construct(const Osp::Graphics::Rectangle& rect);
    // Describes the background buffer that the camera previews into.
    Osp::Base::result GetBackgroundBufferInfo(Osp::Graphics::BufferInfo& bufferInfo) const;

private:
    friend class ui::ControlAccess;
    void Paint(const ui::Painter& painter) const override;
    const char* ClassName() const override { return "OverlayPanel"; }
    std::shared_ptr<graphics::PreviewBuffer> m_pBackground;
};

// A panel whose children may be taller than it; the user scrolls them with a drag.
class ScrollPanel : public Panel {
public:
    ScrollPanel() = default;
    ~ScrollPanel() override = default;
    Osp::Base::result Construct(const Osp::Graphics::Rectangle& rect);
    int GetScrollPosition() const { return m_scrollY; }
    void SetScrollPosition(int y);
    // How far the content can scroll: the children's extent below the panel's height.
    int GetScrollRange() const;

private:
    friend class ui::ControlAccess;
    bool TakesTouches() const override { return true; }
    const char* ClassName() const override { return "ScrollPanel"; }
    int m_scrollY = 0;
};

class Label : public Control {
public:
    Label() = default;
    ~Label() override = default;
    Osp::Base::result Construct(const Osp::Graphics::Rectangle& rect, const Osp::Base::String& text);
    // The label keeps its own copy: the caller may delete the bitmap at once.
    void SetBackgroundBitmap(const Osp::Graphics::Bitmap& bitmap);
    void SetText(const Osp::Base::String& text) { m_text = text; }
    Osp::Base::String GetText() const { return m_text; }

private:
    friend class ui::ControlAccess;
    void Paint(const ui::Painter& painter) const override;
    const char* ClassName() const override { return "Label"; }
    Osp::Base::String m_text;
    std::shared_ptr<const graphics::BitmapData> m_pBackground;
};

class Button : public Control {
public:
    Button() = default;
    ~Button() override = default;
    Osp::Base::result Construct(const Osp::Graphics::Rectangle& rect, const Osp::Base::String& text = "");

    // Each setter keeps its own copy; a bitmap with no pixels leaves that state unset.
    void SetNormalBitmap(const Osp::Graphics::Point& position, const Osp::Graphics::Bitmap& bitmap);
    void SetNormalBackgroundBitmap(const Osp::Graphics::Bitmap& bitmap);
    void SetPressedBitmap(const Osp::Graphics::Point& position, const Osp::Graphics::Bitmap& bitmap);
    void SetPressedBackgroundBitmap(const Osp::Graphics::Bitmap& bitmap);

    void SetActionId(int actionId);
    int GetActionId() const { return m_actionId; }
    void AddActionEventListener(const IActionEventListener& listener);
    void RemoveActionEventListener(const IActionEventListener& listener);
    bool IsPressed() const { return m_pressed; }

private:
    friend class ui::ControlAccess;
    void Paint(const ui::Painter& painter) const override;
    bool TakesTouches() const override { return true; }
    const char* ClassName() const override { return "Button"; }

    struct StateImages {
        std::shared_ptr<const graphics::BitmapData> image;
        Osp::Graphics::Point imagePosition;
        std::shared_ptr<const graphics::BitmapData> background;
    };
    Osp::Base::String m_text;
    StateImages m_normal;
    StateImages m_pressedImages;
    int m_actionId = -1;
    bool m_pressed = false;
    std::vector<IActionEventListener*> m_actionListeners;
};

} // namespace Controls
}} // namespace Osp::Ui
