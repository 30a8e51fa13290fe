// Built with the application's include path, as the application is: through it the Osp
// headers are found, and nothing of the platform's insides, the device or a library.
#if !__has_include("osp/App.h")
#error "the application's include path misses the Osp headers"
#endif
#if __has_include("device/Device.h")
#error "the application's include path reaches the device"
#endif
#if __has_include("base/Log.h") || __has_include("src/base/Log.h")
#error "the application's include path reaches the platform's modules"
#endif
#if __has_include(<gst/gst.h>)
#error "the application's include path reaches GStreamer"
#endif
#if __has_include(<SDL.h>) || __has_include(<cairo.h>) || __has_include(<pixman.h>)
#error "the application's include path reaches a library of the platform's"
#endif
