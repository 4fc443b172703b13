#pragma once
// Spells a scripted run casts for the local player (-cast N:SPELL,X,Z): the shell fills
// the table and counts the updates, the game-object module casts each entry in its
// update.
#include "core/engine_api.h"

struct ScriptedCast
{
  int update;     // the simulation step it belongs to (1 = the first)
  char spell[16]; // the spell's name: its class name without "Spell", lower case
  float x, z;     // the world point it is cast at
};

constexpr int MAX_SCRIPTED_CASTS = 16;
extern ENGINE_API ScriptedCast scripted_casts[MAX_SCRIPTED_CASTS];
extern ENGINE_API int scripted_cast_count;
// The scripted run's update now running (1 = the first); 0 outside scripted runs.
extern ENGINE_API int scripted_update_number;

// Whether name is one of the spells -cast knows.
ENGINE_API bool is_scripted_cast_spell(const char *name);
