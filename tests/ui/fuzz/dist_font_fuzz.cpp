// libFuzzer entry for the distance-field font and icon descriptors: the first byte picks
// the parser, the rest is the file. Build with clang (-DZARNITH_FUZZ=ON) and run
// build/tests/ui/fuzz/ui_parser_fuzz -max_total_time=60.
#include <cstddef>
#include <cstdint>
#include "ui/dist_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < 1)
    return 0;
  const char *text = reinterpret_cast<const char *>(data + 1);
  char name[256];
  if (data[0] & 1)
  {
    DistIcons icons;
    if (icons.parse(text, size - 1, name, sizeof(name)))
      for (int i = 0; i < icons.icons.num; i++)
        if (icons.getIconId(icons.icons[i].name) > i)
          __builtin_trap(); // the first icon of a name is found first
  }
  else
  {
    DistFont font;
    if (font.parse(text, size - 1, name, sizeof(name)))
    {
      // Measuring every byte value walks every range and kerning table.
      char all[256];
      for (int i = 0; i < 256; i++)
        all[i] = char(i);
      int n = 0;
      font.calcTextBox(all, 256, &n);
      if (n < 0 || n > 256)
        __builtin_trap();
    }
  }
  return 0;
}
