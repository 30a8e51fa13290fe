// Osp::Graphics::Canvas: records the application's draw calls and shows them on the
// device's screen over the camera picture.
#include "graphics/CanvasImpl.h"

#include "base/Installed.h"
#include "base/Trace.h"
#include "graphics/CanvasScreen.h"

namespace Osp { namespace Graphics {

using namespace Osp::Base;

Canvas::Canvas() : m_pImpl(std::make_unique<graphics::CanvasImpl>()) {}
Canvas::~Canvas() = default;

result Canvas::Construct(const Rectangle& rect)
{
    if (m_pImpl->constructed) {
        return E_INVALID_STATE;
    }
    if (rect.width <= 0 || rect.height <= 0) {
        return E_INVALID_ARG;
    }
    m_pImpl->bounds = rect;
    m_pImpl->constructed = true;
    // A frame's worth of draw calls without growing the list.
    m_pImpl->ops.reserve(32);
    return E_SUCCESS;
}

result Canvas::Clear()
{
    if (!m_pImpl->constructed) {
        return E_INVALID_STATE;
    }
    m_pImpl->ops.clear();
    return E_SUCCESS;
}

result Canvas::DrawBitmap(const Point& point, const Bitmap& bitmap)
{
    if (!m_pImpl->constructed) {
        return E_INVALID_STATE;
    }
    if (!bitmap.GetData()) {
        return E_INVALID_ARG;
    }
    m_pImpl->ops.push_back({bitmap.GetData(), point, Point(0, 0), 0, false});
    return E_SUCCESS;
}

result Canvas::DrawBitmap(const Point& point, const Bitmap& bitmap, const Point& pivot, int degree)
{
    if (!m_pImpl->constructed) {
        return E_INVALID_STATE;
    }
    if (!bitmap.GetData()) {
        return E_INVALID_ARG;
    }
    m_pImpl->ops.push_back({bitmap.GetData(), point, pivot, degree, true});
    return E_SUCCESS;
}

result Canvas::Show()
{
    graphics::CanvasScreen* screen = base::Installed<graphics::CanvasScreen>();
    if (!m_pImpl->constructed || !screen) {
        return E_INVALID_STATE;
    }
    screen->ShowCanvas(*m_pImpl);
    if (trace::Enabled()) {
        trace::Event e;
        e.type = trace::Event::Type::Canvas;
        for (const auto& op : m_pImpl->ops) {
            e.draws.push_back({op.bitmap->name, op.point.x, op.point.y, op.turned, op.pivot.x, op.pivot.y, op.angle});
        }
        trace::Emit(std::move(e));
    }
    return E_SUCCESS;
}

}} // namespace Osp::Graphics
