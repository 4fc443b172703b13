#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <vector>
#include "world/heightmap.h"
#include "world/noise.h"
#include "world/world_rnd.h"

using HD = HeightmapData;

namespace
{

// A generated island: layered noise, hills and plates, sunk toward the map edge, with a
// sea around it and a few lakes, as the generation script would leave it.
void make_island()
{
  HD::reset();
  game_rnd_seed = 0x15A1A4D;
  reseed_noise();
  HD::addSimplexNoise(0.f, 24.f, 4, 5, 0.5f);
  HD::addVoronoiHills(8, 0.f, 12.f, 0.8f);
  HD::genVoronoiFaults(4, 0.f, 8.f, 0.5f, 2, 3, 2.f);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float dx = (x - 128) / 128.f, dz = (z - 128) / 128.f;
      float r2 = dx * dx + dz * dz;
      HD::height(x, z) -= 40.f * r2;
    }
  HD::recenterHt();
  const float sea = -4.f;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    float d = sea - HD::hmap[i];
    (&HD::water[0][0])[i].depth = d > 0.f ? d : 0.f;
  }
  HD::finishGeneration();
}

struct Saved
{
  std::vector<float> h;
  std::vector<HD::Surface> s;
  Saved() : h(HD::hmap, HD::hmap + HMAP_CELLS), s(HD::surface, HD::surface + HMAP_CELLS) {}
  void restore() const
  {
    std::memcpy(HD::hmap, h.data(), sizeof(HD::hmap));
    std::memcpy(HD::surface, s.data(), sizeof(HD::surface));
  }
};

void cells_counter(benchmark::State &state) { state.SetItemsProcessed(int64_t(state.iterations()) * HMAP_CELLS); }

} // namespace

// Arg 0: the sea and the lakes; arg 1: a film of 0.05 over the land as well, so that
// every cell is wet and the whole island drains (the worst case).
static void BM_SimWater(benchmark::State &state)
{
  make_island();
  if (state.range(0))
    HD::addWater(0.05f);
  for (int i = 0; i < 20; i++)
    HD::simWater(0.05f);
  for (auto _ : state)
  {
    HD::simWater(0.05f);
    benchmark::ClobberMemory();
  }
  cells_counter(state);
}
BENCHMARK(BM_SimWater)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

static void BM_UpdateHmapAtRest(benchmark::State &state)
{
  make_island();
  for (auto _ : state)
  {
    HD::updateHmap(0.05f);
    benchmark::ClobberMemory();
  }
  cells_counter(state);
}
BENCHMARK(BM_UpdateHmapAtRest)->Unit(benchmark::kMicrosecond);

static void BM_UpdateHmapMorphing(benchmark::State &state)
{
  make_island();
  // every cell far from its target; the heights are put back every 256 steps, long
  // before any group comes to rest
  for (int i = 0; i < HMAP_CELLS; i++)
    HD::target_hmap[i] = HD::hmap[i] + ((i & 1) ? 1e6f : -1e6f);
  std::vector<float> start(HD::hmap, HD::hmap + HMAP_CELLS);
  int n = 0;
  for (auto _ : state)
  {
    if ((++n & 255) == 0)
      std::memcpy(HD::hmap, start.data(), sizeof(HD::hmap));
    HD::updateHmap(0.05f);
    benchmark::ClobberMemory();
  }
  cells_counter(state);
}
BENCHMARK(BM_UpdateHmapMorphing)->Unit(benchmark::kMicrosecond);

static void BM_MorphHmap(benchmark::State &state)
{
  make_island();
  for (int i = 0; i < HMAP_CELLS; i++)
    HD::target_hmap[i] = HD::hmap[i] + float(i % 7) - 3.f;
  std::vector<float> out(HMAP_CELLS);
  for (auto _ : state)
  {
    HD::morphHmap(0.025f, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  cells_counter(state);
}
BENCHMARK(BM_MorphHmap)->Unit(benchmark::kMicrosecond);

// The developer key: 92160 droplets with Kq 0.1, Kw 0.001, Kr 0.9, Kd 0.9, Ki 0.1,
// minSlope 0.05, g 20, depositBlend 2, reactionTime 100 and no reactions. Each run
// starts from the same island and seed. The erosion logs its two summary lines per run.
static void BM_DropletErosion(benchmark::State &state)
{
  make_island();
  const Saved island;
  HD::ErosionParams p;
  p.Kq = 0.1f;
  p.Kw = 0.001f;
  p.Kr = 0.9f;
  p.Kd = 0.9f;
  p.Ki = 0.1f;
  p.minSlope = 0.05f;
  p.g = 20.f;
  p.depositBlend = 2.f;
  p.reactionTime = 100.f;
  const unsigned droplets = 92160;
  for (auto _ : state)
  {
    state.PauseTiming();
    island.restore();
    game_rnd_seed = 77;
    state.ResumeTiming();
    HD::genDropletErosion(droplets, p);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * droplets);
}
BENCHMARK(BM_DropletErosion)->Unit(benchmark::kMillisecond);

static void BM_CalcSquareDepth(benchmark::State &state)
{
  make_island();
  float x = 10.f;
  for (auto _ : state)
  {
    x += 1.37f;
    benchmark::DoNotOptimize(HD::calcSquareDepth(vec4f(x, 0.f, x * 0.5f, 0.f), 10.f, true));
  }
}
BENCHMARK(BM_CalcSquareDepth);
