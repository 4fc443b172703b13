#include <benchmark/benchmark.h>
#include <vector>
#include "core/ramp.h"
#include "world/heightmap.h"
#include "world/noise.h"
#include "world/world_rnd.h"

using HD = HeightmapData;

namespace
{
void fresh_world()
{
  HD::reset();
  game_rnd_seed = 0x5EED;
  reseed_noise();
}

void cells_counter(benchmark::State &state) { state.SetItemsProcessed(int64_t(state.iterations()) * HMAP_CELLS); }
} // namespace

static void BM_MakeFastNoise(benchmark::State &state)
{
  fresh_world();
  std::vector<float> grid(HMAP_CELLS, 0.f);
  for (auto _ : state)
  {
    HD::makeFastNoise(grid.data(), 1.f, 0.55f);
    benchmark::DoNotOptimize(grid.data());
  }
  cells_counter(state);
}
BENCHMARK(BM_MakeFastNoise)->Unit(benchmark::kMillisecond);

static void BM_AddFastNoise(benchmark::State &state)
{
  fresh_world();
  ColorRamp ramp(vec4f(0.3f, 0.25f, 0.2f, 1.f), vec4f(0.4f, 0.5f, 0.2f, 0.6f), vec4f(0.9f, 0.9f, 0.9f, 1.f), 0.3f,
                 0.3f);
  for (auto _ : state)
    HD::addFastNoise(0.f, 10.f, state.range(0) ? &ramp : nullptr, state.range(0) ? GT_SOIL : GT_NONE, 255, 0.55f);
  cells_counter(state);
}
BENCHMARK(BM_AddFastNoise)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

static void BM_AddSimplexNoise(benchmark::State &state)
{
  fresh_world();
  for (auto _ : state)
    HD::addSimplexNoise(0.f, 20.f, 4, int(state.range(0)), 0.5f);
  cells_counter(state);
}
BENCHMARK(BM_AddSimplexNoise)->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond);

static void BM_AddVoronoiHills(benchmark::State &state)
{
  fresh_world();
  for (auto _ : state)
    HD::addVoronoiHills(8, 0.f, 10.f, 0.8f);
  cells_counter(state);
}
BENCHMARK(BM_AddVoronoiHills)->Unit(benchmark::kMillisecond);

static void BM_GenVoronoiFaults(benchmark::State &state)
{
  fresh_world();
  for (auto _ : state)
    HD::genVoronoiFaults(8, 0.f, 10.f, 0.5f, 2, int(state.range(0)), 2.f);
  cells_counter(state);
}
BENCHMARK(BM_GenVoronoiFaults)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

static void BM_GenFault(benchmark::State &state)
{
  fresh_world();
  ColorRamp ramp(vec4f(0.5f, 0.4f, 0.3f, 1.f), vec4f(0.4f, 0.4f, 0.4f, 1.f), vec4f(0.5f, 0.4f, 0.3f, 1.f), 0.2f, 0.2f);
  for (auto _ : state)
    HD::genFault(Point2{100.f, 80.f}, Point2{0.6f, 0.8f}, 12.f, 0.5f, 6.f, &ramp, GT_ROCK, 255, HD::hmap);
  cells_counter(state);
}
BENCHMARK(BM_GenFault)->Unit(benchmark::kMillisecond);

static void BM_GenCrater(benchmark::State &state)
{
  fresh_world();
  HD::addFastNoise(0.f, 10.f, nullptr, GT_NONE, 255, 0.55f);
  for (auto _ : state)
    HD::genCrater(Point2{128.3f, 90.7f}, float(state.range(0)), 0.4f, HD::hmap);
}
BENCHMARK(BM_GenCrater)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

static void BM_PlaceHouse(benchmark::State &state)
{
  fresh_world();
  for (auto _ : state)
    HD::placeHouse(128, 128, -1, HD::hmap, true); // the large house, no marks: repeatable
}
BENCHMARK(BM_PlaceHouse)->Unit(benchmark::kMicrosecond);

static void BM_Noise1(benchmark::State &state)
{
  fresh_world();
  float x = 0.f, sum = 0.f;
  for (auto _ : state)
  {
    sum += noise1(x);
    x += 0.173f;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_Noise1);

static void BM_Noise4(benchmark::State &state)
{
  fresh_world();
  float x = 0.f, sum = 0.f;
  for (auto _ : state)
  {
    sum += noise4(x, 0.7f * x, 3.f - x, 0.31f * x);
    x += 0.173f;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_Noise4);

static void BM_TiledNoise2(benchmark::State &state)
{
  fresh_world();
  float x = 0.f, sum = 0.f;
  for (auto _ : state)
  {
    sum += tiled_noise2(x, 0.37f * x, 8.f);
    x += 0.173f;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_TiledNoise2);

static void BM_VoronoiNear4(benchmark::State &state)
{
  fresh_world();
  float x = 0.f, dist[4];
  int ids[4];
  for (auto _ : state)
  {
    tiled_voronoi_noise2_near4(x, 0.37f * x, 3, dist, ids, nullptr);
    benchmark::DoNotOptimize(dist[0]);
    x += 0.173f;
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_VoronoiNear4);
