#include "app/log.h"
#include "app/paths.h"

int main(int, char **)
{
  if (!get_exe_path(app_path, sizeof(app_path)))
    app_path[0] = 0;
  debug("app path: '%s'", app_path);
  return 0;
}
