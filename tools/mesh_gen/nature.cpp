// Trees, stones and menhirs: faceted, low-poly, coloured by vertex. All stand on the
// ground at y = 0 with their base sunk a little below it, so that they sit on slopes.
#include "meshes.h"
#include "shapes.h"

namespace meshgen
{
namespace
{
Mesh simple_mesh(const char *name)
{
  Mesh m;
  m.name = name;
  m.kind = Kind::simple;
  m.forwardShader = "mesh.sh";
  m.deferredShader = "dr_mesh.sh";
  m.textures = {"objects/nature.dds"};
  return m;
}

// A face's colour shaded by chance, for the faceted look.
Rgba vary(Rgba c, Rng &rng, float amount)
{
  float k = 1.f + rng.range(-amount, amount);
  return Rgba(c.r * k, c.g * k, c.b * k, c.a);
}

// A pine: a tapering trunk and three jittered cones of needles, darker below and inside.
// The far version (tree1_lod, drawn beyond the near distance) keeps the silhouette with a
// fifth of the triangles: five-sided cones without belly or underside.
Mesh pine(const char *name, bool far)
{
  Mesh m = simple_mesh(name);
  Rng rng(11);
  const Rgba bark(0.36f, 0.25f, 0.16f, 0.85f);
  auto trunk_paint = [&](V3 c, V3) {
    Paint p;
    p.color = vary(bark, rng, 0.08f);
    p.color.a = 0.6f + 0.2f * std::fmin(c.y / 1.6f, 1.f);
    p.uvScale = 0.6f;
    return p;
  };
  // Top down, the trunk last: seen from above, as mostly, what is drawn first hides what
  // follows from the depth test before it is shaded.
  struct Tier
  {
    float base, radius, apex;
  };
  const Tier tiers[3] = {{1.0f, 1.55f, 3.3f}, {2.1f, 1.2f, 4.4f}, {3.15f, 0.85f, 5.45f}};
  for (int t = 2; t >= 0; t--)
  {
    const Tier &T = tiers[t];
    const float a0 = rng.range(0.f, 6.28f);
    const int n = far ? 5 : 7;
    std::vector<V3> rim = ring(n, V3(0, T.base, 0), T.radius, T.radius, a0, &rng, 0.14f, 0.1f);
    const V3 apex(rng.range(-0.06f, 0.06f), T.apex, rng.range(-0.06f, 0.06f));
    auto needles = [&](V3, V3) {
      Paint p;
      p.uvScale = 0.8f;
      return p;
    };
    if (far)
    {
      fan(m, rim, apex, V3(0, 1, 0), needles);
      continue;
    }
    // The middle ring, drawn in and up, gives each cone a soft belly.
    std::vector<V3> mid;
    for (size_t i = 0; i < rim.size(); i++)
    {
      V3 p = rim[i] * 0.56f;
      p.y = T.base + (T.apex - T.base) * 0.42f + rng.range(-0.08f, 0.08f);
      mid.push_back(p);
    }
    band(m, rim, mid, needles);
    fan(m, mid, apex, V3(0, 1, 0), needles);
    // The underside: a shallow dark cone up into the tier.
    fan(m, rim, V3(0, T.base + 0.3f, 0), V3(0, -1, 0), needles);
  }
  const int trunk_sides = far ? 3 : 6;
  band(m, ring(trunk_sides, V3(0, -0.5f, 0), 0.24f, 0.24f, 0.3f), ring(trunk_sides, V3(0, 1.7f, 0), 0.13f, 0.13f, 0.3f),
       trunk_paint);
  m.sphere(V3(0, 2.9f, 0), 1.35f);
  // The trunk's bark up to where the needles begin; needles darker below and inside,
  // lighter towards the tips.
  m.flatUvScale = 0.8f;
  m.vertexColor = [](V3 p) {
    const float r = std::sqrt(p.x * p.x + p.z * p.z);
    if (r < 0.27f && p.y < 1.75f && !(r < 0.01f && p.y > 1.2f))
      return Rgba(0.36f, 0.25f, 0.16f, 0.6f + 0.2f * std::fmin(std::fmax(p.y, 0.f) / 1.7f, 1.f));
    const float h = std::fmin(std::fmax((p.y - 0.9f) / 4.6f, 0.f), 1.f);
    const float out = std::fmin(r / 1.5f, 1.f);
    Rgba lo(0.09f, 0.23f, 0.08f), hi(0.22f, 0.44f, 0.15f);
    Rgba c = mix(lo, hi, h * 0.75f + 0.25f * (1.f - out));
    if (r < 0.01f && p.y < 3.6f) // the undersides' centres, deep in the shade
      c = Rgba(0.06f, 0.13f, 0.05f);
    c.a = 0.5f + 0.5f * h;
    return c;
  };
  return m;
}

// A burnt pine: a charred, split trunk with a few bare branches and glowing cracks.
Mesh tree1f()
{
  Mesh m = simple_mesh("tree1f");
  Rng rng(23);
  auto char_paint = [&](V3 c, V3) {
    Paint p;
    // A few faces keep the red of embers.
    bool ember = rng.unit() < 0.12f && c.y < 2.5f;
    p.color = ember ? Rgba(0.42f, 0.12f, 0.04f, 0.8f) : vary(Rgba(0.09f, 0.08f, 0.07f, 0.8f), rng, 0.2f);
    p.uvScale = 0.5f;
    return p;
  };
  std::vector<V3> r0 = ring(6, V3(0, -0.5f, 0), 0.25f, 0.25f, 0.1f, &rng, 0.1f, 0.f);
  std::vector<V3> r1 = ring(6, V3(0.05f, 1.6f, 0), 0.17f, 0.17f, 0.3f, &rng, 0.15f, 0.05f);
  std::vector<V3> r2 = ring(6, V3(0.12f, 3.4f, -0.05f), 0.08f, 0.08f, 0.5f, &rng, 0.2f, 0.05f);
  band(m, r0, r1, char_paint);
  band(m, r1, r2, char_paint);
  fan(m, r2, V3(0.15f, 3.9f, -0.05f), V3(0, 1, 0), char_paint);
  // Bare branches: thin four-sided sticks pointing up and out.
  for (int b = 0; b < 5; b++)
  {
    float a = float(b) * 2.4f + rng.range(-0.3f, 0.3f);
    float y = 1.3f + float(b) * 0.45f;
    float len = 1.2f - float(b) * 0.15f;
    V3 root(0.05f + 0.03f * float(b), y, 0);
    V3 dir = normalize(V3(std::cos(a), 0.75f, std::sin(a)));
    V3 tip = root + dir * len;
    V3 side = normalize(cross(dir, V3(0, 1, 0))) * 0.05f;
    V3 up = normalize(cross(side, dir)) * 0.05f;
    std::vector<V3> lo = {root - side - up, root + side - up, root + side + up, root - side + up};
    std::vector<V3> hi = {tip - side * 0.3f - up * 0.3f, tip + side * 0.3f - up * 0.3f, tip + side * 0.3f + up * 0.3f,
                          tip - side * 0.3f + up * 0.3f};
    for (int i = 0; i < 4; i++)
    {
      int j = (i + 1) % 4;
      V3 out = (lo[i] + lo[j]) * 0.5f - root;
      Paint p = char_paint((lo[i] + hi[j]) * 0.5f, out);
      quad(m, lo[i], lo[j], hi[j], hi[i], p, out);
    }
  }
  m.sphere(V3(0.1f, 2.2f, 0), 0.6f);
  // Charcoal, with the red of embers in the cracks here and there low on the trunk.
  m.flatUvScale = 0.5f;
  m.vertexColor = [](V3 p) {
    const uint32_t h = uint32_t(std::lrint(p.x * 997.f) * 73856093 ^ std::lrint(p.y * 991.f) * 19349663 ^
                                std::lrint(p.z * 983.f) * 83492791);
    const bool ember = (h >> 7) % 9 == 0 && p.y < 2.6f;
    Rgba c = ember ? Rgba(0.45f, 0.13f, 0.04f) : Rgba(0.09f, 0.08f, 0.07f) * (0.8f + float(h % 100) * 0.004f);
    c.a = 0.8f;
    return c;
  };
  return m;
}

// A boulder: a faceted, flattened ball with moss on what faces the sky.
Mesh stone1()
{
  Mesh m = simple_mesh("stone1");
  Rng rng(37);
  facet_sphere(
    m, 1,
    [&](V3 d) {
      float k = 1.f + rng.range(-0.16f, 0.16f);
      V3 p(d.x * 1.15f * k, d.y * 0.72f * k + 0.28f, d.z * 0.95f * k);
      if (p.y < -0.3f)
        p.y = -0.3f - (p.y + 0.3f) * 0.2f; // flattened where it sits in the ground
      return p;
    },
    [&](V3 c, V3 n) {
      Paint p;
      Rgba rock = vary(Rgba(0.52f, 0.50f, 0.47f), rng, 0.09f);
      Rgba moss(0.30f, 0.38f, 0.17f);
      float cover = std::fmin(std::fmax((n.y - 0.55f) * 2.5f, 0.f), 1.f) * (rng.unit() < 0.75f ? 1.f : 0.3f);
      p.color = mix(rock, moss, cover * 0.85f);
      p.color.a = 0.55f + 0.45f * std::fmin(std::fmax(c.y + 0.3f, 0.f), 1.f);
      p.uvScale = 0.7f;
      return p;
    });
  m.sphere(V3(0, 0.35f, 0), 0.95f);
  // Grey rock, moss where the surface faces the sky (patchy), darker near the ground.
  m.flatUvScale = 0.7f;
  m.vertexColor = [](V3 p) {
    V3 d = normalize(p - V3(0, 0.28f, 0));
    const uint32_t h = uint32_t(std::lrint(p.x * 991.f) * 73856093 ^ std::lrint(p.z * 977.f) * 19349663);
    const float patch = (h >> 5) % 4 == 0 ? 0.35f : 1.f;
    const float cover = std::fmin(std::fmax((d.y - 0.45f) * 2.2f, 0.f), 1.f) * patch;
    Rgba c = mix(Rgba(0.53f, 0.51f, 0.48f), Rgba(0.31f, 0.39f, 0.17f), cover * 0.85f);
    c.a = 0.55f + 0.45f * std::fmin(std::fmax(p.y + 0.3f, 0.f), 1.f);
    return c;
  };
  return m;
}

// Standing stones: grey-blue, lichen in patches, darker at the foot.
Rgba standing_stone_color(V3 p)
{
  const uint32_t h = uint32_t(std::lrint(p.x * 991.f) * 73856093 ^ std::lrint(p.y * 977.f) * 19349663 ^
                              std::lrint(p.z * 967.f) * 83492791);
  const float lichen = (h >> 6) % 3 == 0 ? 0.45f : 0.f;
  Rgba c = mix(Rgba(0.50f, 0.52f, 0.54f), Rgba(0.56f, 0.58f, 0.36f), lichen);
  c.a = 0.6f + 0.4f * std::fmin(std::fmax(p.y / 3.f, 0.f), 1.f);
  return c;
}

Paint standing_stone(Rng &rng, V3 c, V3 n)
{
  Paint p;
  Rgba stone = vary(Rgba(0.50f, 0.52f, 0.54f), rng, 0.07f);
  // Lichen in patches on the upper faces and the weather side.
  float lichen = (n.y > 0.5f || (n.z < -0.5f && rng.unit() < 0.4f)) ? 0.5f : 0.f;
  p.color = mix(stone, Rgba(0.56f, 0.58f, 0.36f), lichen);
  p.color.a = 0.6f + 0.4f * std::fmin(std::fmax(c.y / 3.f, 0.f), 1.f);
  p.uvScale = 0.9f;
  return p;
}

// A standing stone: tall, tapering and a little bent, its top rounded off.
Mesh menhir1()
{
  Mesh m = simple_mesh("menhir1");
  Rng rng(41);
  auto paint = [&](V3 c, V3 n) { return standing_stone(rng, c, n); };
  const float ys[5] = {-0.5f, 0.7f, 1.7f, 2.6f, 3.15f};
  const float w[5] = {0.48f, 0.44f, 0.38f, 0.31f, 0.2f};
  std::vector<V3> prev;
  for (int i = 0; i < 5; i++)
  {
    V3 c(0.06f * float(i) * float(i) * 0.1f, ys[i], 0.03f * float(i));
    std::vector<V3> r = ring(6, c, w[i] * 1.2f, w[i] * 0.7f, 0.5f, &rng, 0.08f, 0.04f);
    if (i > 0)
      band(m, prev, r, paint);
    prev = r;
  }
  fan(m, prev, V3(0.18f, 3.45f, 0.12f), V3(0, 1, 0), paint);
  m.sphere(V3(0, 0.9f, 0), 0.6f);
  m.sphere(V3(0.1f, 2.3f, 0.05f), 0.5f);
  m.flatUvScale = 0.9f;
  m.vertexColor = standing_stone_color;
  return m;
}

// A trilithon: two posts carrying a lintel.
Mesh menhir2()
{
  Mesh m = simple_mesh("menhir2");
  Rng rng(53);
  auto paint = [&](V3 c, V3 n) { return standing_stone(rng, c, n); };
  auto rough_box = [&](V3 lo, V3 hi) {
    V3 k[8];
    for (int i = 0; i < 8; i++)
    {
      V3 p(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z);
      if (i & 2) // the upper corners wander a little
        p = p + V3(rng.range(-0.06f, 0.06f), rng.range(-0.05f, 0.05f), rng.range(-0.05f, 0.05f));
      k[i] = p;
    }
    box(m, k, paint, false);
  };
  rough_box(V3(-1.15f, -0.5f, -0.26f), V3(-0.55f, 2.45f, 0.26f));
  rough_box(V3(0.55f, -0.5f, -0.24f), V3(1.12f, 2.4f, 0.28f));
  rough_box(V3(-1.45f, 2.35f, -0.3f), V3(1.42f, 2.95f, 0.3f));
  // The lintel's underside was left out with the posts' bottoms: close it.
  quad(m, V3(-1.45f, 2.35f, -0.3f), V3(1.42f, 2.35f, -0.3f), V3(1.42f, 2.35f, 0.3f), V3(-1.45f, 2.35f, 0.3f),
       paint(V3(0, 2.35f, 0), V3(0, -1, 0)), V3(0, -1, 0));
  m.sphere(V3(-0.85f, 1.1f, 0), 0.55f);
  m.sphere(V3(0.85f, 1.1f, 0), 0.55f);
  m.sphere(V3(0, 2.65f, 0), 0.75f);
  m.flatUvScale = 0.9f;
  m.vertexColor = standing_stone_color;
  return m;
}
} // namespace

std::vector<Mesh> nature_meshes()
{
  return {pine("tree1", false), pine("tree1_lod", true), tree1f(), stone1(), menhir1(), menhir2()};
}
} // namespace meshgen
