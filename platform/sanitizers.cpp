#include "platform/sanitizers.h"

#if defined(ZEPHIRO_ADDRESS_SANITIZER)
#include <dlfcn.h>
#include <link.h>
#include <sanitizer/lsan_interface.h>

#include <cstring>
#endif

namespace platform {

void keep_for_abandoned_thread(const void* object) {
#if defined(ZEPHIRO_ADDRESS_SANITIZER)
  __lsan_ignore_object(object);
#else
  (void)object;
#endif
}

void keep_graphics_driver_loaded() {
#if defined(ZEPHIRO_ADDRESS_SANITIZER)
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        // Mesa's drivers live in ".../dri/<name>_dri.so"; a reference that is never given
        // back keeps each one mapped through the exit.
        if (info->dlpi_name && std::strstr(info->dlpi_name, "/dri/"))
          dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
      },
      nullptr);
#endif
}

}  // namespace platform
