#pragma once
// The game-object host: loads "gameobj.dll", binds its functions, rebuilds it in the
// background when its sources change and swaps the new build in with every live object
// re-pointed at its class's new dispatch table.
#include <cstdint>
#include <utility>
#include "core/engine_api.h"
#include "gameobj/gameobj_funcs.h"

// The module's functions; valid after start_gameobj_host, all null while no module is
// bound (inside a reload, after stop_gameobj_host). Call them through gameobj_call.
extern ENGINE_API GameObjFuncs gameobj_api;

// Calls the module's function fn with args. While no module is bound nothing is called
// and the result is `unbound` (gameobj_call_or) or R() (gameobj_call):
//   gameobj_call(&GameObjFuncs::update_gameobj, dt);
//   float h = gameobj_call_or(hmap_land_height(x, z), &GameObjFuncs::get_land_height, x, z);
template <typename R, typename... P, typename... A>
R gameobj_call_or(R unbound, R (*GameObjFuncs::*fn)(P...), A &&...args)
{
  if (R(*f)(P...) = gameobj_api.*fn)
    return f(std::forward<A>(args)...);
  return unbound;
}
template <typename R, typename... P, typename... A>
R gameobj_call(R (*GameObjFuncs::*fn)(P...), A &&...args)
{
  if (R(*f)(P...) = gameobj_api.*fn)
    return f(std::forward<A>(args)...);
  return R();
}

// Loads and binds the module from the program directory and starts watching its sources:
// dir (relative to the program directory, e.g. "../compiler/") and the main file in it
// (e.g. "main.ls"). A module that cannot be loaded or bound is fatal.
ENGINE_API void start_gameobj_host(const char *dir, const char *main_file);
// Unbinds and unloads the module, stops a running build, forgets the sources. Safe when
// start_gameobj_host never ran.
ENGINE_API void stop_gameobj_host();

// Once per second (force false) and on request (force true). Streams a running build's
// output, starts a build when the sources changed, and swaps in "gameobj_new.dll" when a
// build left one; force reloads the present "gameobj.dll". True when a new module was
// loaded and the file swap succeeded. A new build is loaded and bound under its own name
// first and renamed over "gameobj.dll" only when that worked; one that fails (or comes
// from a failed build) leaves the old module running, shows "gameobj reload failed" and
// is not tried again until the file changes.
ENGINE_API bool reload_gameobj(bool force);

// Calls the module's bind_gameobj with the world-generation VM inside the script-error
// guard (gameobj_host_hooks.script_guard); an error is shown as
// "Error in world gen script:\n%s".
ENGINE_API void rebind_gameobj_scripts();

// Set by anyone (a key, a script) to ask update_game for a forced reload.
extern ENGINE_API bool force_gameobj_reload;

// --- what the host calls in subsystems that live outside it; entries are never null ---
struct GameObjHostHooks
{
  // Runs bind(vm) on the world-generation VM, catching the script layer's error; returns
  // null on success or the error's text (valid until the next script call). The shell
  // installs the world script's guard while that VM is open; the default has no VM and
  // runs nothing.
  const char *(*script_guard)(void (*bind)(SQVM *vm)) = [](void (*)(SQVM *)) -> const char * { return nullptr; };
  // Drops everything the module created inside the program's GUI (each existing module
  // screen's onDestroy, the createScreen pointers, the sheets of the module's styles).
  // Called on every unbind, before the module's code goes away. Installed by the GUI.
  void (*gui_release)() = [] {};
};
extern ENGINE_API GameObjHostHooks gameobj_host_hooks;

// Record and replay: folds the bound module's object state into the running hash h
// through its "hash_gameobj_state"; false (h unchanged) while no module is bound or the
// module is older and has none.
ENGINE_API bool gameobj_state_hash(uint64_t &h);
// Folds the bytes of the loaded module file into the running FNV-1a hash h; false (h
// unchanged) without a module.
ENGINE_API bool gameobj_module_file_hash(uint64_t &h);

// --- state for tests and tools ---

// True while a build runs (its output is read on every reload_gameobj call).
ENGINE_API bool is_gameobj_build_running();
// The number of sources watched (the main source and everything it imports).
ENGINE_API int gameobj_watched_source_count();
ENGINE_API const char *gameobj_watched_source(int i);
// The class dispatch tables of the latest binding (entry 0 unused).
ENGINE_API const void *gameobj_class_table(int i);
// Whether a line of build output counts as an error line: it holds the word "error" or
// "errors" in any letter case, with no letter, digit or underscore on either side.
ENGINE_API bool is_build_error_line(const char *line);
// Whether a line of build output is the compiler's report of an error ("file:3:1: error:
// ...", "...: fatal error: ..."): only these, and the exit code, fail a build.
ENGINE_API bool is_compiler_error_line(const char *line);
