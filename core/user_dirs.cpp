#include "user_dirs.h"
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include "paths.h"

bool make_dirs(const char *dir)
{
  if (!dir || !*dir)
    return false;
  std::string d = dir;
  for (size_t i = 1; i <= d.size(); i++)
  {
    if (i < d.size() && d[i] != '/')
      continue;
    const std::string part = d.substr(0, i);
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
      return false;
  }
  struct stat st;
  return stat(dir, &st) == 0 && S_ISDIR(st.st_mode);
}

bool program_dir_writable() { return app_path[0] && access(app_path, W_OK) == 0; }

static std::string home_dir()
{
  const char *home = getenv("HOME");
  if (home && home[0] == '/')
    return home;
  const passwd *pw = getpwuid(getuid());
  return pw && pw->pw_dir ? pw->pw_dir : "/tmp";
}

// The folder name beside the program, or the user's folder when the program directory
// is read-only; created, with a trailing "/".
static TempString<260> writable_dir(const char *beside_program, std::string (*user_dir)())
{
  std::string dir;
  if (program_dir_writable())
    dir = make_full_path(beside_program).c_str();
  else
    dir = user_dir();
  if (dir.empty() || dir.size() >= 259 || !make_dirs(dir.c_str()))
    return TempString<260>("");
  if (dir.back() != '/')
    dir += '/';
  return TempString<260>(dir.c_str());
}

static std::string user_cache_dir()
{
  const char *xdg = getenv("XDG_CACHE_HOME");
  return (xdg && xdg[0] == '/' ? std::string(xdg) : home_dir() + "/.cache") + "/zarnith";
}

static std::string user_pictures_dir()
{
  static std::string pictures; // asked once: it starts a process
  if (pictures.empty())
  {
    if (FILE *p = popen("xdg-user-dir PICTURES 2>/dev/null", "r"))
    {
      char line[512] = "";
      if (fgets(line, sizeof(line), p))
        line[strcspn(line, "\r\n")] = 0;
      pclose(p);
      // xdg-user-dir answers the home folder itself when no pictures folder is set.
      if (line[0] == '/' && home_dir() != line)
        pictures = line;
    }
    if (pictures.empty())
      pictures = home_dir() + "/Pictures";
  }
  return pictures + "/zarnith";
}

TempString<260> shader_cache_dir() { return writable_dir("cache/", user_cache_dir); }
TempString<260> screenshot_dir() { return writable_dir("shots/", user_pictures_dir); }
