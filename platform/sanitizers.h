#pragma once
// What the program tells the sanitizers of its checking builds (tools/sanitize.sh and the
// fuzz targets). In a normal build every call here does nothing.

#if defined(__SANITIZE_ADDRESS__)
#define ZEPHIRO_ADDRESS_SANITIZER 1
#endif
#if defined(__SANITIZE_THREAD__)
#define ZEPHIRO_THREAD_SANITIZER 1
#endif
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEPHIRO_ADDRESS_SANITIZER 1
#endif
#if __has_feature(thread_sanitizer)
#define ZEPHIRO_THREAD_SANITIZER 1
#endif
#endif

namespace platform {

// An object left allocated on purpose for a thread that was abandoned while it could still
// reach it: the leak checker is told so, and does not report it or what it points to.
void keep_for_abandoned_thread(const void* object);

// The leak check runs after the window system has unloaded the GL driver, whose leaks
// would then come from an unknown place that no suppression can name. Leak-checking
// builds keep every loaded driver in memory to the end; other builds do nothing.
void keep_graphics_driver_loaded();

}  // namespace platform
