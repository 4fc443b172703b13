// Filing and querying the proximity grid with a few thousand small objects spread over
// the world, as the module does every step.
#include <benchmark/benchmark.h>
#include <vector>
#include "gameobj/gameobj.h"

namespace
{
struct Scene
{
  std::vector<GameObj> objs;
  explicit Scene(int n) : objs(size_t(n))
  {
    uint32_t s = 12345;
    for (GameObj &o : objs)
    {
      s = s * 1664525u + 1013904223u;
      float x = float(s >> 8) / float(1 << 24) * 256.f;
      s = s * 1664525u + 1013904223u;
      float z = float(s >> 8) / float(1 << 24) * 256.f;
      o.pos = vec4f(x, 0.f, z, 1.f);
      update_proximity(&o, footprint(o.pos));
    }
  }
  ~Scene()
  {
    for (GameObj &o : objs)
      remove_proximity_object(&o);
  }
  static vec4f footprint(vec4f p) { return vec4f(p.x - 0.5f, p.z - 0.5f, p.x + 0.5f, p.z + 0.5f); }
};

// Every object moves a little each step; most stay in their bin.
void BM_UpdateProximityMoving(benchmark::State &state)
{
  Scene scene(int(state.range(0)));
  float t = 0.f;
  for (auto _ : state)
  {
    t += 0.05f;
    for (GameObj &o : scene.objs)
    {
      vec4f p = o.pos + vec4f(t, 0.f, t, 0.f);
      update_proximity(&o, Scene::footprint(p));
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_UpdateProximityMoving)->Arg(1000)->Arg(5000);

// A 10 x 10 query plus the walk over what it lists.
void BM_ProximityQuerySmall(benchmark::State &state)
{
  Scene scene(int(state.range(0)));
  ProximityQuery q;
  float x = 0.f;
  for (auto _ : state)
  {
    x = x + 17.f >= 256.f ? x + 17.f - 256.f : x + 17.f;
    q.proximityQuery(vec4f(x, x, x + 10.f, x + 10.f), false);
    int n = 0;
    while (q.next())
      n++;
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ProximityQuerySmall)->Arg(1000)->Arg(5000);
} // namespace

BENCHMARK_MAIN();
