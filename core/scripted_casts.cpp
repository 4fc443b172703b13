#include "core/scripted_casts.h"
#include <cstring>

ScriptedCast scripted_casts[MAX_SCRIPTED_CASTS];
int scripted_cast_count = 0;
int scripted_update_number = 0;

bool is_scripted_cast_spell(const char *name)
{
  static const char *const names[] = {"hill",        "pit",       "fault",     "meteor",    "fireball",
                                      "waterball",   "watersource", "watersink", "lightning", "thunderstorm",
                                      "healing",     "house",     "castle"};
  if (!name)
    return false;
  for (const char *n : names)
    if (!strcmp(n, name))
      return true;
  return false;
}
