#pragma once
// The world script VM: it runs "gen/main.nut" and its includes, builds the island when a
// world is needed ("generate_world"), and during play takes game events
// ("process_event") and a periodic update ("update_script"). Every failure on these
// roads is shown in the on-screen error strip; the program keeps running.
#include <squirrel.h>
#include "core/engine_api.h"
#include "script/sq_reloadable_vm.h"
#include "script/sqbind.h"

// The VM and its file list; open between init_world_script and close_world_script.
extern ENGINE_API SqReloadableVM world_script;

// Creates the VM, registers every binding of the world script (the hooks' bind_gameobj
// among them) and runs "gen/main.nut". Failing to create the VM is fatal; a script that
// fails to load is shown as "Error in world gen script:\n..." and the handles of the
// functions it did not define stay null.
ENGINE_API void init_world_script();
// Releases the handles, closes the VM and forgets its files. Safe when
// init_world_script never ran.
ENGINE_API void close_world_script();

// Builds a new world: clears the grids and calls the script's generate_world(name).
// "main_menu" for the menu backdrop, "game" for play. On a script error the grids keep
// what the script had built and the error is shown.
ENGINE_API void generate_world(const char *name);
// Once per second: when a world script file changed, re-runs them all and regenerates
// the "game" world; a failed re-run keeps the old world.
ENGINE_API void check_world_script_reload();

// The script's update_script(t), if it defines one.
ENGINE_API void update_world_script(float t);
// The script's process_event(event); without that function the error is shown.
ENGINE_API void world_script_event(const sqbind::SqObject &event);
ENGINE_API void world_script_str_event(const char *event);
// A root-table global read as a bool; def (and a shown error) when it is missing.
ENGINE_API bool get_world_script_bool(const char *name, int def);
// f() as a bool; def when f is null or fails.
ENGINE_API bool call_bool_func(sqbind::SqFunc<bool> &f, bool def);
ENGINE_API HSQUIRRELVM get_world_script_vm();

// Runs bind(vm) on the world VM and catches the script layer's error: null on success,
// else the error text (valid until the next script call). For the game-object host's
// re-binding after a module reload.
ENGINE_API const char *world_script_guard(void (*bind)(HSQUIRRELVM vm));

// -export-world DIR: the world VM, generation of the "game" world with the current
// game_rnd_seed and write_world_files (world/world_export.h), without a window or device.
// Returns the process exit code: 0 on success, 1 when the script or a file failed.
ENGINE_API int export_world(const char *dir);

// Milliseconds the latest complete generate_world took; -1 before the first.
extern ENGINE_API int last_world_gen_ms;
// The name and the starting game_rnd_seed of the latest generate_world ("" and 0 before
// the first), for writing the world out later.
extern ENGINE_API char last_world_name[32];
extern ENGINE_API uint64_t last_world_seed;
