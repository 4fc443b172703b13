#pragma once
// A VM with every world-generation binding, for running script snippets against the
// world grids.
#include <cstdarg>
#include <cstring>
#include <gtest/gtest.h>
#include <sqstdmath.h>
#include <string>
#include "script/sq_hmap_mask.h"
#include "script/sq_ramps.h"
#include "script/sqbind.h"
#include "script/world_gen.h"
#include "world/heightmap.h"

struct WorldVm : ::testing::Test
{
  static inline std::string out;
  static void capture(HSQUIRRELVM, const SQChar *fmt, ...)
  {
    char buf[4096];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof(buf), fmt, ap);
    va_end(ap);
    out += buf;
  }

  HSQUIRRELVM vm = nullptr;

  void SetUp() override
  {
    vm = sqbind::create_vm(1024);
    sq_setprintfunc(vm, capture, capture);
    sq_pushroottable(vm);
    sqstd_register_mathlib(vm);
    sq_poptop(vm);
    bind_ramps(vm);
    bind_hmap_mask(vm);
    sqbind::bind_vec4f(vm);
    bind_rnd_color_funcs(vm);
    bind_world_gen_funcs(vm);
    bind_world_consts(vm);
    HeightmapData::reset();
    out.clear();
  }
  void TearDown() override { sqbind::destroy_vm(vm); }

  // Runs src; false on a compile or run-time error (the error text is in `out` and in
  // error()).
  bool run(const std::string &src)
  {
    SQInteger top = sq_gettop(vm);
    bool ok = sqbind::compile_buffer(vm, src.c_str(), SQInteger(src.size()), "snippet.nut");
    if (ok)
    {
      sq_pushroottable(vm);
      ok = SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue));
    }
    sq_settop(vm, top);
    return ok;
  }
  std::string error() { return sqbind::last_error(vm); }
  float num(const char *global) { return sqbind::getGlobal<float>(vm, global); }
  int integer(const char *global) { return sqbind::getGlobal<int>(vm, global); }
  vec4f vec(const char *global)
  {
    sq_pushroottable(vm);
    sq_pushstring(vm, global, -1);
    sq_get(vm, -2);
    vec4f v = sqbind::read_vec4(vm, -1);
    sq_pop(vm, 2);
    return v;
  }
};
