// The preview buffers' registry: one for the process, since a pixel address names one
// buffer whichever device's camera asks.
#include "graphics/PreviewBuffer.h"

#include <map>
#include <mutex>

namespace graphics {

namespace {
struct Registry {
    std::mutex mutex;
    std::map<const void*, std::weak_ptr<PreviewBuffer>> buffers;
};
Registry& Get()
{
    static Registry registry;
    return registry;
}
} // namespace

void PreviewBuffers::Register(const std::shared_ptr<PreviewBuffer>& buffer)
{
    Registry& r = Get();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto it = r.buffers.begin(); it != r.buffers.end();) {
        it = it->second.expired() ? r.buffers.erase(it) : std::next(it);
    }
    r.buffers[buffer->pixels.data()] = buffer;
}

std::shared_ptr<PreviewBuffer> PreviewBuffers::Find(const void* pixels)
{
    Registry& r = Get();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.buffers.find(pixels);
    return it == r.buffers.end() ? nullptr : it->second.lock();
}

} // namespace graphics
