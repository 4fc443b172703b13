// Keeps the GL driver loaded to the end of a sanitizer run.
//
// Mesa's DRI driver (swrast_dri.so under llvmpipe) keeps allocations reachable only from
// its own globals and is unloaded when SDL terminates the display. LeakSanitizer reports
// after that, no longer sees those globals and counts the driver's live objects as
// leaked, with call sites in an unloaded library that no suppression can name. Pinning
// the already-loaded driver with RTLD_NODELETE keeps its globals in the scan. Normal
// builds leave the driver alone.
#include "render/gl_device_internal.h"
#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <link.h>
#include <cstring>
#include "core/log.h"
#endif

#if defined(__SANITIZE_ADDRESS__)
namespace
{
int pin_dri_driver(dl_phdr_info *info, size_t, void *)
{
  const char *name = info->dlpi_name;
  size_t n = name ? strlen(name) : 0;
  if (n < 7 || strcmp(name + n - 7, "_dri.so") != 0)
    return 0;
  // NOLOAD: only a reference to the loaded copy; the handle stays open on purpose.
  if (!dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE))
    debug("can't pin GL driver '%s'", name);
  return 0;
}
} // namespace

void gl_pin_driver() { dl_iterate_phdr(pin_dri_driver, nullptr); }
#else
void gl_pin_driver() {}
#endif
