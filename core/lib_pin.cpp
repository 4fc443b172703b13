// Keeps the GL system libraries loaded to the end of a sanitizer run.
//
// Mesa's EGL library (libEGL_mesa.so, loaded by SDL's video drivers through libglvnd) and
// its DRI driver (swrast_dri.so under llvmpipe) keep allocations reachable only from
// their own globals, and are unloaded when SDL terminates the display. LeakSanitizer
// reports after that, no longer sees those globals and counts their live objects as
// leaked, with call sites in an unloaded library that no suppression can name. Pinning
// the loaded copies with RTLD_NODELETE keeps their globals in the scan. Normal builds
// leave the libraries alone.
#include "core/lib_pin.h"
#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <link.h>
#include <cstring>
#include "core/log.h"

namespace
{
bool ends_with(const char *s, size_t n, const char *tail)
{
  size_t t = strlen(tail);
  return n >= t && strcmp(s + n - t, tail) == 0;
}

int pin_one(dl_phdr_info *info, size_t, void *)
{
  const char *name = info->dlpi_name;
  size_t n = name ? strlen(name) : 0;
  if (!n || !(ends_with(name, n, "_dri.so") || strstr(name, "/libEGL_mesa.so")))
    return 0;
  // NOLOAD: only a reference to the loaded copy; the handle stays open on purpose.
  if (!dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE))
    debug("can't pin '%s'", name);
  return 0;
}
} // namespace

void pin_gl_system_libraries() { dl_iterate_phdr(pin_one, nullptr); }
#else
void pin_gl_system_libraries() {}
#endif
