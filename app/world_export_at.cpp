#include "world_export_at.h"
#include <string>
#include "core/log.h"
#include "gameobj/gameobj.h"
#include "script/world_script.h"
#include "settings.h"
#include "world/world_export.h"

// "objects": {"GameObj": n, "Player": n, ...} in the hosts' list order.
static std::string object_counts_json()
{
  std::string json = "\"objects\": {";
  bool first = true;
  auto add = [&](const char *name, int count) {
    json += first ? "\"" : ", \"";
    json += name;
    json += "\": " + std::to_string(count);
    first = false;
  };
#define GAMEOBJ_COUNT_LIST(cls) add(#cls, cls##_list.size());
  GAMEOBJ_LISTS(GAMEOBJ_COUNT_LIST)
#undef GAMEOBJ_COUNT_LIST
  return json + "}";
}

bool export_current_world(const char *dir)
{
  const std::string objects = object_counts_json();
  const char *name = last_world_name[0] ? last_world_name : "none";
  if (!write_world_files(dir, name, last_world_seed, last_world_gen_ms, objects.c_str()))
    return false;
  debug("exported world to '%s'", dir);
  return true;
}

void run_world_export_at(int update)
{
  if (app_options.export_at_dir && app_options.export_at_update == update)
    export_current_world(app_options.export_at_dir);
}
