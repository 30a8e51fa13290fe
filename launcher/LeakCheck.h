// The sanitizers' leak check, run where the program chooses: after its own work has ended and
// before the C library's exit handlers, where other libraries' destructors end their threads.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define VELTORA_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELTORA_LEAK_CHECK 1
#endif
#endif

#ifdef VELTORA_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace launcher {

// Looks for leaks now, once, as the sanitizer would at exit (it then skips its own check); does
// nothing in a build without the sanitizers or with leak detection turned off.
//
// Why not at exit: libcamera's tracing library cancels its two listener threads from its
// destructor without waiting for them, and the sanitizer's exit check runs after that
// destructor. A thread that is half gone when the check stops the process makes the check's
// tracer crash, and the run exits 1 with no report. Here every library is still whole and every
// thread that is not ours is parked (GStreamer's too: see EnsureGstreamer).
inline void CheckLeaksNow()
{
#ifdef VELTORA_LEAK_CHECK
    __lsan_do_leak_check();
#endif
}

} // namespace launcher
