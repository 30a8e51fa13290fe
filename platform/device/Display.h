// The phone's display: a frame buffer the size of the screen, filled by whatever runs on
// the phone, and read by the window, screenshots and tests.
#pragma once

#include <cstdint>
#include <vector>

#include "device/Pixels.h"

namespace device {

class Display {
public:
    static constexpr int kLongSide = 800;
    static constexpr int kShortSide = 480;

    // What the phone shows: the system running on it draws into the frame buffer.
    class Content {
    public:
        virtual ~Content() = default;
        // The screen is turned to portrait (480x800) while this says so.
        virtual bool Portrait() const = 0;
        // Changes whenever the next Draw would differ from the last.
        virtual std::uint64_t Version() const = 0;
        virtual void Draw(const PixelView& target) = 0;
        // Brings a target up to date and says where it drew. A target that holds what the
        // last DrawChanges drew there gets only what changed since; any other is drawn
        // whole. Only one target can be kept this way.
        virtual PixelRect DrawChanges(const PixelView& target, bool targetHoldsLast)
        {
            (void)targetHoldsLast;
            Draw(target);
            return {0, 0, target.width, target.height};
        }
    };

    // The frame buffer is made with the display: both holdings have as many pixels, so
    // composing never allocates, and a screenshot at the end of a run short of memory
    // still has its picture.
    Display() : m_pixels(static_cast<std::size_t>(kLongSide) * kShortSide) {}

    // The content is not owned; null leaves the buffer as it is.
    void SetContent(Content* content) { m_pContent = content; }
    Content* GetContent() const { return m_pContent; }

    bool Portrait() const { return m_pContent && m_pContent->Portrait(); }
    int Width() const { return Portrait() ? kShortSide : kLongSide; }
    int Height() const { return Portrait() ? kLongSide : kShortSide; }
    std::uint64_t Version() const { return m_pContent ? m_pContent->Version() : 0; }

    // Draws the screen as it is now into the frame buffer; the view stays valid until the
    // next Compose.
    PixelView Compose();
    // Draws the screen straight into a buffer of the screen's size that someone else keeps
    // (the window's texture), sparing a copy; false when the size is not the screen's.
    bool ComposeInto(const PixelView& target);
    // The same for a buffer that holds the screen as the last ComposeChangesInto left it
    // (when `targetHoldsLast`): only what changed since is drawn, and `changed` says where.
    bool ComposeChangesInto(const PixelView& target, bool targetHoldsLast, PixelRect& changed);

private:
    Content* m_pContent = nullptr;
    std::vector<std::uint32_t> m_pixels;
};

} // namespace device
