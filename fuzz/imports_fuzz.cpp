// The module host's import scan over one source text: every import found is a path of
// the source folder ending in ".ls", and a source made of the found imports' lines gives
// the same list again.
#include <cstdint>
#include <cstring>
#include <string>
#include "gameobj/import_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  static const char dir[] = "../compiler/";
  DynArray<TempString<260>> found;
  list_imports((const char *)data, size, dir, found);
  std::string again;
  for (const TempString<260> &p : found)
  {
    const size_t n = strlen(p);
    if (n < sizeof(dir) - 1 + 4 || strncmp(p, dir, sizeof(dir) - 1) != 0 || strcmp(p + n - 3, ".ls") != 0)
      __builtin_trap();
    std::string module(p + sizeof(dir) - 1, n - (sizeof(dir) - 1) - 3);
    again += "import " + module + "\n"; // slashes read back as themselves
  }
  DynArray<TempString<260>> second;
  list_imports(again.data(), again.size(), dir, second);
  if (second.num != found.num)
    __builtin_trap();
  for (int i = 0; i < found.num; i++)
    if (strcmp(found[i], second[i]) != 0)
      __builtin_trap();
  return 0;
}
