#pragma once
// The world script as the game-object module reaches it: game events as tables for its
// "process_event", its "update_script", and native functions of the module that its
// rules call. Plain C types only: the module includes this header and no script engine
// header.
#include "core/engine_api.h"

struct SQVM;

// One field of an event table: a string when text is not null, else the number value.
struct GameEventField
{
  const char *name;
  const char *text;
  float value;
};

// Calls process_event({type = type, <name> = <value>, ...}) in the world script. Errors
// (no process_event, a script error) are shown as "Error in world script:\n..." and the
// game goes on; nothing happens while the VM is closed.
ENGINE_API void world_script_game_event(const char *type, const GameEventField *fields, int count);
// The script's update_script(t), if it defines one.
ENGINE_API void world_script_update(float t);

// An argument a script passed to a module function: its text for a string (else null)
// and its number (integers and bools converted; 0 for anything else).
struct GameScriptArg
{
  const char *text;
  float value;
};
// A module function for scripts. It returns a number; a script sees an integer when the
// result is whole.
using GameScriptFn = float (*)(const GameScriptArg *args, int count);

// Defines (or replaces) the root-table function name in vm, calling fn with the script's
// arguments. min_args: fewer arguments raise "wrong number of parameters". Bindings
// from a module are made again after every reload of it (bind_gameobj), so fn always
// points into the loaded module.
ENGINE_API void bind_game_script_func(SQVM *vm, const char *name, GameScriptFn fn, int min_args);

// A number global of the world script's root table (the rules keep their state there,
// where it outlives every reload of the module). False, and *out unchanged, when the VM
// is closed or the global is missing or no number; nothing is shown.
ENGINE_API bool get_game_script_number(const char *name, float *out);
// Sets (or creates) the root-table global name to value; nothing while the VM is closed.
ENGINE_API void set_game_script_number(const char *name, float value);

// Builds a new world (script/world_script.h): "game" for the next island.
ENGINE_API void generate_world(const char *name);
