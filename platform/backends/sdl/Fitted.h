// What C and E fitted, kept for the window to draw over the picture: each line across the view
// until the user's next key or touch, and in the loupe of that touch until its finger lifts.
#pragma once

#include <functional>
#include <vector>

#include "device/Aiming.h"
#include "instrument/Finger.h"
#include "sdl/Presenter.h"
#include "sdl/SdlHandles.h"
#include "sdl/ViewGeometry.h"

namespace device {
class Device;
}

namespace sdl {

class Fitted {
public:
    // Draws with the presenter's renderer, which outlives this.
    Fitted(device::Device& device, const RendererHandle& renderer) : m_device(device), m_renderer(renderer) {}
    Fitted(const Fitted&) = delete;
    Fitted& operator=(const Fitted&) = delete;

    void Show(std::vector<instrument::Stretch> stretches);
    // The user's key: they go. The user's touch: only the loupe shows them. The finger lifted:
    // they go. True when what is drawn changed.
    bool Drop();
    bool ToLoupe();
    bool OverView() const { return m_overView; }
    bool Any() const { return !m_stretches.empty(); }

    // The stretches with each screen point placed by `place` in output pixels, the lines
    // `width` output pixels wide and clipped to `clip`; `fine` where they are magnified, so
    // that the picture's edge shows beside them.
    void Draw(const Presenter::Scene& scene, const std::function<device::PointD(device::PointD screen)>& place,
              const detail::Box& clip, float width, bool fine) const;

private:
    device::Device& m_device;
    const RendererHandle& m_renderer;
    std::vector<instrument::Stretch> m_stretches;
    bool m_overView = false;
};

} // namespace sdl
