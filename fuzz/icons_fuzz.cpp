// Icon atlas descriptors (disticons.txt) as the GUI reads them: every accepted icon has
// a terminated name that finds it (or an earlier icon of that name), and lookups of ids
// outside the table answer 0.
#include <cstdint>
#include <cstring>
#include "ui/dist_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  DistIcons icons;
  char file[256];
  memset(file, 'x', sizeof(file));
  const bool ok = icons.parse(reinterpret_cast<const char *>(data), size, file, sizeof(file));
  if (!memchr(file, 0, sizeof(file)))
    __builtin_trap();
  if (!ok)
  {
    icons.clear();
    return 0;
  }
  for (int i = 0; i < icons.icons.num; i++)
  {
    const int id = icons.getIconId(icons.icons[i].name);
    if (id < 0 || id > i)
      __builtin_trap(); // the first icon of a name is found first
  }
  if (icons.getOrgW(-1) != 0.f || icons.getOrgH(icons.icons.num) != 0.f || icons.getIconId(nullptr) != -1)
    __builtin_trap();
  icons.clear();
  return 0;
}
