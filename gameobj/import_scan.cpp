#include "import_scan.h"
#include <cstring>

void list_imports(const char *text, size_t size, const char *dir, DynArray<TempString<260>> &out)
{
  if (!dir)
    dir = "";
  const size_t dir_len = strlen(dir);
  size_t at = 0;
  while (text && at < size)
  {
    // One piece: up to and including a newline, at most 255 bytes, read as a C string.
    char piece[256];
    size_t n = 0;
    while (at < size && n < sizeof(piece) - 1)
    {
      const char c = text[at++];
      piece[n++] = c;
      if (c == '\n')
        break;
    }
    piece[n] = 0;
    if (strncmp(piece, "import ", 7) != 0)
      continue;
    const char *p = piece + 7;
    while (*p == ' ' || *p == '\t')
      p++;
    char module[256];
    int m = 0;
    while (p[m] && !strchr(" \t\r\n", p[m]) && m < int(sizeof(module)) - 1)
    {
      module[m] = p[m] == '.' ? '/' : p[m];
      m++;
    }
    module[m] = 0;
    if (!m || dir_len + size_t(m) + 3 >= size_t(TempString<260>::capacity()))
      continue;
    TempString<260> path(dir);
    path.append(module);
    path.append(".ls");
    out.push(path);
  }
}
