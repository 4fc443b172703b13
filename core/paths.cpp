#include "paths.h"
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

char app_path[260] = "";

bool get_exe_filename(char *buf, int size)
{
  if (!buf || size <= 0)
    return false;
  ssize_t n = readlink("/proc/self/exe", buf, size_t(size));
  if (n < 0 || n >= size)
  {
    if (n >= size)
      buf[size - 1] = 0;
    else
      buf[0] = 0;
    return false;
  }
  buf[n] = 0;
  return true;
}

bool get_exe_path(char *buf, int size)
{
  if (!get_exe_filename(buf, size))
    return false;
  char *slash = strrchr(buf, '/');
  if (slash)
    slash[1] = 0;
  return true;
}

// Folds "//", "/./" and "/../" in an absolute or relative path.
static std::string normalize_path(const std::string &p)
{
  bool abs = !p.empty() && p[0] == '/';
  std::string out;
  std::string seg;
  std::string parts[128];
  int np = 0;
  size_t i = 0;
  int leading_up = 0;
  while (i <= p.size())
  {
    size_t j = p.find('/', i);
    if (j == std::string::npos)
      j = p.size();
    seg = p.substr(i, j - i);
    i = j + 1;
    if (seg.empty() || seg == ".")
      continue;
    if (seg == "..")
    {
      if (np > 0)
        np--;
      else if (!abs)
        leading_up++;
      continue;
    }
    if (np < 128)
      parts[np++] = seg;
  }
  if (abs)
    out = "/";
  for (int k = 0; k < leading_up; k++)
    out += "../";
  for (int k = 0; k < np; k++)
  {
    out += parts[k];
    if (k + 1 < np)
      out += "/";
  }
  if (!p.empty() && p.back() == '/' && np > 0)
    out += "/";
  if (out.empty())
    out = ".";
  return out;
}

TempString<260> make_full_path(const char *name)
{
  std::string joined;
  if (!name)
    joined = app_path;
  else if (name[0] == '/' || name[0] == '\\')
    joined = name;
  else
  {
    joined = app_path;
    joined += name;
  }
  for (char &c : joined)
    if (c == '\\')
      c = '/';
  if (joined.empty() || joined[0] != '/')
  {
    // Relative to the working directory (no program directory known).
    char cwd[4096];
    if (getcwd(cwd, sizeof(cwd)))
      joined = std::string(cwd) + "/" + joined;
  }
  return TempString<260>(normalize_path(joined).c_str());
}

int64_t get_file_time(const char *path)
{
  struct stat st;
  if (!path || stat(path, &st) != 0)
    return 0;
  return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool read_whole_file(const char *path, DynArray<uint8_t> &out, bool *opened)
{
  out.clear();
  FILE *fp = fopen(path, "rb");
  if (opened)
    *opened = fp != nullptr;
  if (!fp)
    return false;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), fp)) > 0)
    out.append(buf, int(n));
  const bool ok = !ferror(fp);
  fclose(fp);
  return ok;
}
