// The display's frame buffer: sized to the screen's current orientation, then drawn by
// the content on top of what it held (the content paints every pixel it owns).
#include "device/Display.h"

namespace device {

PixelView Display::Compose()
{
    const int w = Width();
    const int h = Height();
    m_pixels.resize(static_cast<size_t>(w) * h);
    const PixelView view{m_pixels.data(), w, h, w * 4};
    if (m_pContent) {
        m_pContent->Draw(view);
    }
    return view;
}

bool Display::ComposeInto(const PixelView& target)
{
    if (!target.pixels || target.width != Width() || target.height != Height()) {
        return false;
    }
    if (m_pContent) {
        m_pContent->Draw(target);
    }
    return true;
}

bool Display::ComposeChangesInto(const PixelView& target, bool targetHoldsLast, PixelRect& changed)
{
    changed = {};
    if (!target.pixels || target.width != Width() || target.height != Height()) {
        return false;
    }
    if (m_pContent) {
        changed = m_pContent->DrawChanges(target, targetHoldsLast);
    }
    return true;
}

} // namespace device
