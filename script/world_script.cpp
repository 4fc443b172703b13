#include "world_script.h"
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include "core/clock.h"
#include "core/globals.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/splash.h"
#include "sq_hmap_mask.h"
#include "sq_ramps.h"
#include "world/heightmap.h"
#include "world/land_tools.h"
#include "world/noise.h"
#include "world/world_export.h"
#include "world_gen.h"
#include "world_hooks.h"

using namespace sqbind;

SqReloadableVM world_script;
int last_world_gen_ms = -1;
char last_world_name[32] = "";
uint64_t last_world_seed = 0;

// The error of the latest failed load of the script files, shown again in place of the
// missing generate_world it explains; empty after a good load.
static char load_error[1024];
static SqFunc<void> generate_world_func;
static SqFunc<void> process_event_func;
static SqFunc<void> update_script_func;

// ---------------------------------------------------------------------------------------
// Hooks

WorldHooks world_hooks;

// ---------------------------------------------------------------------------------------
// Errors

// Shows "<prefix>\n<error>" (cut to 1023 characters). A failed script call carries the
// VM's own error: the native function's text or the script's.
static void show_error(const char *prefix, const SquirrelError &e)
{
  const char *text = e.msg ? e.msg : "unknown error";
  char buf[1024];
  snprintf(buf, sizeof(buf), "%s\n%s", prefix, text);
  set_error_message(buf);
}

static const char gen_error[] = "Error in world gen script:";
static const char run_error[] = "Error in world script:";

// ---------------------------------------------------------------------------------------
// Set-up and shutdown

static void bind_handles()
{
  HSQUIRRELVM vm = world_script.vm;
  sq_pushroottable(vm);
  SqObject root;
  root.fromStack(vm, -1);
  sq_poptop(vm);
  generate_world_func.bind(vm, root, "generate_world");
  process_event_func.bind(vm, root, "process_event");
  update_script_func.bind(vm, root, "update_script");
}

static void release_handles()
{
  generate_world_func.release();
  process_event_func.release();
  update_script_func.release();
}

void init_world_script()
{
  if (!world_script.init(1024))
    fatal("error creating world gen script VM");
  HSQUIRRELVM vm = world_script.vm;
  try
  {
    bind_ramps(vm);
    bind_hmap_mask(vm);
    world_hooks.bind_gameobj(vm);
    bind_vec4f(vm);
    bind_rnd_color_funcs(vm);
    bind_world_gen_funcs(vm);
    bind_world_consts(vm);
    load_error[0] = 0;
    if (!world_script.load_file("gen/main.nut"))
      throw SquirrelError(last_error(vm));
    bind_handles();
  }
  catch (const SquirrelError &e)
  {
    snprintf(load_error, sizeof(load_error), "%s", e.msg ? e.msg : "unknown error");
    show_error(gen_error, e);
  }
}

void close_world_script()
{
  load_error[0] = 0;
  release_handles();
  world_script.close();
  // The records describe what ran in the closed VM; a new VM starts with none.
  world_script.files.clear();
}

HSQUIRRELVM get_world_script_vm() { return world_script.vm; }

const char *world_script_guard(void (*bind)(HSQUIRRELVM vm))
{
  if (!world_script.vm)
    return "world gen script VM is not open";
  try
  {
    bind(world_script.vm);
    return nullptr;
  }
  catch (const SquirrelError &e)
  {
    return e.msg ? e.msg : "unknown error";
  }
}

// ---------------------------------------------------------------------------------------
// Generation

void generate_world(const char *name)
{
  splash_hooks.show("Generating new world...", -1.f);
  const int64_t start = get_ref_time();
  world_hooks.remove_all_gameobj();
  world_hooks.local_player_world_removed();
  try
  {
    HeightmapData::reset();
    debug("game_rnd_seed=%" PRIu64 ";", game_rnd_seed);
    snprintf(last_world_name, sizeof(last_world_name), "%s", name ? name : "");
    last_world_seed = game_rnd_seed;
    if (generate_world_func.isNull())
      throw SquirrelError(load_error[0] ? load_error : "No 'generate_world' function in script");
    ScriptBudget budget(world_script.vm, script_budgets.world);
    generate_world_func(name);
    sq_collectgarbage(world_script.vm);
    HeightmapData::finishGeneration();
    world_hooks.reset_common_fx();
    world_hooks.refresh_terrain();
    world_hooks.reset_update_time();
    world_hooks.local_player_world_generated();
    last_world_gen_ms = get_time_msec(get_ref_time() - start);
    release_free_heap(); // the generator's scratch grids and the old world's objects
    debug("generated world in %d ms", last_world_gen_ms);
  }
  catch (const SquirrelError &e)
  {
    show_error(gen_error, e);
  }
}

void check_world_script_reload()
{
  if (!world_script.vm || !world_script.files_changed())
    return;
  set_error_message(nullptr);
  try
  {
    if (!world_script.reload(true))
      throw SquirrelError(last_error(world_script.vm));
    bind_handles();
    load_error[0] = 0;
  }
  catch (const SquirrelError &e)
  {
    show_error(gen_error, e);
    return;
  }
  generate_world("game");
}

// ---------------------------------------------------------------------------------------
// Events and queries

void update_world_script(float t)
{
  if (update_script_func.isNull())
    return;
  try
  {
    update_script_func(t);
  }
  catch (const SquirrelError &e)
  {
    show_error(run_error, e);
  }
}

template <typename T>
static void send_event(const T &event)
{
  try
  {
    if (process_event_func.isNull())
      throw SquirrelError("No 'process_event' function in script");
    process_event_func(event);
  }
  catch (const SquirrelError &e)
  {
    show_error(run_error, e);
  }
}

void world_script_event(const SqObject &event) { send_event(event); }
void world_script_str_event(const char *event) { send_event(event); }

bool get_world_script_bool(const char *name, int def)
{
  if (!world_script.vm)
    return def != 0;
  try
  {
    return getGlobal<bool>(world_script.vm, name);
  }
  catch (const SquirrelError &e)
  {
    show_error(run_error, e);
    return def != 0;
  }
}

bool call_bool_func(SqFunc<bool> &f, bool def)
{
  if (f.isNull())
    return def;
  try
  {
    return f();
  }
  catch (const SquirrelError &e)
  {
    show_error(run_error, e);
    return def;
  }
}

// ---------------------------------------------------------------------------------------
// -export-world

int export_world(const char *dir)
{
  init_world_script();
  int code = 0;
  if (has_error_message())
    code = 1;
  else
  {
    const uint64_t seed = game_rnd_seed;
    last_world_gen_ms = -1;
    generate_world("game");
    if (!has_error_message() && last_world_gen_ms >= 0)
      if (int bad = count_non_finite_cells())
      {
        char text[160];
        snprintf(text, sizeof(text), "%s\n%d cells have a height or water depth that is not a finite number", gen_error,
                 bad);
        set_error_message(text);
      }
    if (has_error_message() || last_world_gen_ms < 0)
      code = 1;
    else if (!write_world_files(dir, "game", seed, last_world_gen_ms))
      code = 1;
    else
      debug("exported world to '%s'", dir);
  }
  if (code)
    fprintf(stderr, "export-world failed: %s\n", has_error_message() ? get_error_message() : "see the log");
  close_world_script();
  return code;
}
