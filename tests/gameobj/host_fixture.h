#pragma once
// A scratch program directory for host tests: <tmp>/bin/ is the program directory (the
// module lives there) and <tmp>/compiler/ holds the module's sources.
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include "core/log.h"
#include "core/paths.h"
#include "gameobj/gameobj.h"
#include "gameobj/gameobj_host.h"
#include "script/fx_script.h"
#include "script/world_hooks.h"
#include "script/world_script.h"
#include "ui/gui_element.h"
#include "ui/gui_screen.h"

namespace fs = std::filesystem;

class HostFixture : public ::testing::Test
{
protected:
  fs::path root, bin, src;
  std::string saved_app_path;

  void SetUp() override
  {
    char tmpl[] = "/tmp/gameobj_test.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root = tmpl;
    bin = root / "bin";
    src = root / "compiler";
    fs::create_directories(bin);
    fs::create_directories(src);
    saved_app_path = app_path;
    snprintf(app_path, sizeof(app_path), "%s/", bin.c_str());
    write(src / "main.ls", "// module\n");
  }

  void TearDown() override
  {
    // Objects are freed while their module's code is still loaded.
    drop_objects();
    stop_gameobj_host();
    snprintf(app_path, sizeof(app_path), "%s", saved_app_path.c_str());
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  static void drop_objects()
  {
    DynArray<GameObj *> all(GameObj_list);
    for (DynArray<GameObj *> *list : {&GameObj_list, &Player_list})
      list->clear();
    for (GameObj *o : all)
      if (!o->isDestroyed())
        delete o;
    for (BaseObject *o : deleted_gameobjs)
      delete o;
    deleted_gameobjs.clear();
    local_player = nullptr;
  }

  static void write(const fs::path &p, const std::string &text)
  {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }

  void install(const char *module, const char *as = "gameobj.dll")
  {
    fs::copy_file(module, bin / as, fs::copy_options::overwrite_existing);
  }

  void start(const char *module)
  {
    install(module);
    start_gameobj_host("../compiler/", "main.ls");
  }

  // A function the loaded module hands out by name (get_gameobj_func_by_name), or null
  // when the module is not loaded or has no such function.
  void *module_func(const char *name) const
  {
    void *h = dlopen((bin / "gameobj.dll").c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h)
      return nullptr;
    auto by_name = (GameObjFuncByNameFn)dlsym(h, "get_gameobj_func_by_name");
    dlclose(h);
    return by_name ? by_name(name) : nullptr;
  }

  // Calls reload_gameobj(false) until the running build has ended (at most ~120 s: a
  // real build of the whole module on a loaded machine or a sanitizer build takes far
  // longer than the scripted ones); returns the result of the call that saw the end.
  static bool reload_until_built()
  {
    bool r = reload_gameobj(false); // may start the build
    for (int i = 0; i < 12000 && is_gameobj_build_running(); i++)
    {
      usleep(10000);
      r = reload_gameobj(false);
    }
    EXPECT_FALSE(is_gameobj_build_running()) << "the build did not end";
    return r;
  }
};

// Index 1..65 of the class table entry the object uses now, or -1.
inline int class_index(const BaseObject *obj)
{
  const void *vt;
  memcpy(&vt, (const void *)obj, sizeof(vt));
  for (int i = 1; i < GAMEOBJ_CLASS_COUNT; i++)
    if (gameobj_class_table(i) == vt)
      return i;
  return -1;
}

// The real module (compiler/): as in the program, what the module hangs into the GUI
// (screens, sheets, behaviours) is released before its code goes, and the module is
// closed before the host stops.
class ModuleFixture : public HostFixture
{
protected:
  void SetUp() override
  {
    HostFixture::SetUp();
    register_std_behaviors();
    gameobj_host_hooks.gui_release = release_module_gui;
  }
  void TearDown() override
  {
    if (gameobj_api.close_gameobj)
      gameobj_api.close_gameobj();
    set_error_message(nullptr);
    HostFixture::TearDown();
    gameobj_host_hooks.gui_release = GameObjHostHooks().gui_release;
  }
};

// The game's scripts around the loaded module, as the program's start-up sets them up:
// world generation reaching the module through the world hooks, the effects script
// (test/fx.nut of the program directory; its particles go wherever fx_script_hooks send
// them), init_gameobj, the world script (gen/main.nut) and the module's script guard.
// close_game_scripts undoes it all before the module is stopped.
inline void open_game_scripts()
{
  WorldHooks h;
  h.bind_gameobj = [](HSQUIRRELVM vm) { gameobj_call(&GameObjFuncs::bind_gameobj, vm); };
  h.remove_all_gameobj = [] { gameobj_call(&GameObjFuncs::remove_all_gameobj); };
  h.local_player_world_generated = [] {
    if (local_player)
      local_player->onWorldGenerated();
  };
  world_hooks = h;
  init_fx_script();
  gameobj_api.init_gameobj();
  init_world_script();
  gameobj_host_hooks.script_guard = world_script_guard;
}

inline void close_game_scripts()
{
  if (gameobj_api.close_gameobj)
    gameobj_api.close_gameobj();
  close_world_script();
  close_fx_script();
  world_hooks = {};
  gameobj_host_hooks.script_guard = GameObjHostHooks().script_guard;
}
