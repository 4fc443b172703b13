// World generation from script: the shipped "game" island as a whole, and the per-cell
// script passes it is built from, so that script cost and native cost can be told apart.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <string>
#include "core/globals.h"
#include "core/log.h"
#include "core/paths.h"
#include "script/world_script.h"
#include "world/heightmap.h"

namespace
{
// The shipped scripts from the source tree's bin/, loaded once per benchmark.
struct ShippedWorld
{
  ShippedWorld()
  {
    snprintf(app_path, sizeof(app_path), "%s", ZARNITH_SOURCE_BIN);
    init_world_script();
  }
  ~ShippedWorld() { close_world_script(); }
};

bool run(const char *src)
{
  HSQUIRRELVM vm = get_world_script_vm();
  SQInteger top = sq_gettop(vm);
  bool ok = sqbind::compile_buffer(vm, src, SQInteger(strlen(src)), "bench.nut");
  if (ok)
  {
    sq_pushroottable(vm);
    ok = SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue));
  }
  sq_settop(vm, top);
  return ok;
}

void generate_game_world(benchmark::State &state)
{
  ShippedWorld w;
  for (auto _ : state)
  {
    game_rnd_seed = 1;
    generate_world("game");
  }
  if (has_error_message())
    state.SkipWithError(get_error_message());
}
BENCHMARK(generate_game_world)->Unit(benchmark::kMillisecond);

// The same island without its erosion droplets: what the script and the other
// generators cost.
void generate_game_world_no_erosion(benchmark::State &state)
{
  ShippedWorld w;
  run("saved_droplets <- game_style.droplets; game_style.droplets = 0;");
  for (auto _ : state)
  {
    game_rnd_seed = 1;
    generate_world("game");
  }
  run("game_style.droplets = saved_droplets;");
}
BENCHMARK(generate_game_world_no_erosion)->Unit(benchmark::kMillisecond);

// One script call per cell: a mask from a function of (x, z).
void mask_from_function(benchmark::State &state)
{
  ShippedWorld w;
  for (auto _ : state)
    run("HmapMask(function(x, z) { return x * 0.5 + z; });");
}
BENCHMARK(mask_from_function)->Unit(benchmark::kMillisecond);

// One script call per cell with the height and a mask value.
void apply_height_function(benchmark::State &state)
{
  ShippedWorld w;
  run("bench_mask <- HmapMask(1.0);");
  for (auto _ : state)
    run("apply_height_mask(bench_mask, function(h, m) { return h > 0.0 ? h : h + m; });");
}
BENCHMARK(apply_height_function)->Unit(benchmark::kMillisecond);

// One script call per cell with two colours in and an array out.
void repaint_every_cell(benchmark::State &state)
{
  ShippedWorld w;
  for (auto _ : state)
    run("repaint_land(function(x, z, c, t) { return [c, GT_SOIL]; });");
}
BENCHMARK(repaint_every_cell)->Unit(benchmark::kMillisecond);
} // namespace
