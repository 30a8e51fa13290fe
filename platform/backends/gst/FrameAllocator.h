// Memory for video frames that fails softly. GStreamer's own allocator ends the program when
// memory runs out; frames, by far the largest allocations, come from this one instead, so a
// video too large for the memory left fails like any other source, in one line.
#pragma once

#include <gst/gst.h>

namespace gst {

// A new allocator; the caller owns the reference.
GstAllocator* NewFrameAllocator();

// Whether an allocation from `allocator` has failed since it was made.
bool FrameAllocationFailed(GstAllocator* allocator);

// Answers every allocation query that reaches the sink pad `pad` with `allocator`, so the
// buffer pools that the elements upstream make take their memory from it. The pad keeps a
// reference to the allocator.
void OfferFrameAllocator(GstPad* pad, GstAllocator* allocator);

} // namespace gst
