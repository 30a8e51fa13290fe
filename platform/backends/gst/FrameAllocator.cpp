// A GstAllocator whose memory is plain malloc wrapped as GStreamer memory: a failed malloc
// is a failed allocation (the pool's element then stops with a flow error) and is noted.
#include "FrameAllocator.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct FrameAllocator {
    GstAllocator parent;
    gint failed;
};

struct FrameAllocatorClass {
    GstAllocatorClass parent_class;
};

G_DEFINE_TYPE(FrameAllocator, frame_allocator, GST_TYPE_ALLOCATOR)

GstMemory* Allocate(GstAllocator* allocator, gsize size, GstAllocationParams* params)
{
    const gsize align = params->align | gst_memory_alignment;
    const gsize prefix = params->prefix, padding = params->padding;
    // The block holds the prefix, the data and the padding, and room to align them.
    const gsize limit = G_MAXSIZE - align - 1;
    void* block = nullptr;
    if (size <= limit && prefix <= limit - size && padding <= limit - size - prefix)
        block = std::malloc(prefix + size + padding + align + 1);
    if (block == nullptr) {
        g_atomic_int_set(&reinterpret_cast<FrameAllocator*>(allocator)->failed, 1);
        return nullptr;
    }
    auto* data = static_cast<guint8*>(block);
    if (const gsize shift = reinterpret_cast<std::uintptr_t>(data) & align) data += align + 1 - shift;
    if ((params->flags & GST_MEMORY_FLAG_ZERO_PREFIXED) && prefix) std::memset(data, 0, prefix);
    if ((params->flags & GST_MEMORY_FLAG_ZERO_PADDED) && padding) std::memset(data + prefix + size, 0, padding);
    // The wrapped memory belongs to GStreamer's system memory, which frees the block with it.
    return gst_memory_new_wrapped(GstMemoryFlags(params->flags), data, prefix + size + padding, prefix, size, block,
                                  std::free);
}

// Never called: the memory handed out is the system memory's, which frees it.
void Free(GstAllocator*, GstMemory*) {}

void frame_allocator_class_init(FrameAllocatorClass* klass)
{
    GstAllocatorClass* allocatorClass = GST_ALLOCATOR_CLASS(klass);
    allocatorClass->alloc = Allocate;
    allocatorClass->free = Free;
}

void frame_allocator_init(FrameAllocator* self) { GST_ALLOCATOR_CAST(self)->mem_type = "veltora-frames"; }

GstPadProbeReturn OnQuery(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    if (!(info->type & GST_PAD_PROBE_TYPE_PUSH) || GST_QUERY_TYPE(query) != GST_QUERY_ALLOCATION ||
        !gst_query_is_writable(query))
        return GST_PAD_PROBE_OK;
    // Answered here, whatever the pad's element would have said (an appsink says nothing):
    // plain memory from this allocator, the pool left to the asking element.
    GstAllocationParams params;
    gst_allocation_params_init(&params);
    gst_query_add_allocation_param(query, static_cast<GstAllocator*>(data), &params);
    return GST_PAD_PROBE_HANDLED;
}

} // namespace

namespace gst {

GstAllocator* NewFrameAllocator()
{
    return GST_ALLOCATOR_CAST(gst_object_ref_sink(g_object_new(frame_allocator_get_type(), nullptr)));
}

bool FrameAllocationFailed(GstAllocator* allocator)
{
    return g_atomic_int_get(&reinterpret_cast<FrameAllocator*>(allocator)->failed) != 0;
}

void OfferFrameAllocator(GstPad* pad, GstAllocator* allocator)
{
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, OnQuery, gst_object_ref(allocator),
                      [](gpointer data) { gst_object_unref(data); });
}

} // namespace gst
