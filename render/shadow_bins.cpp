// Binning of shadow spheres into the screen tiles.
#include <cmath>
#include "render/shadow_balls.h"

void ShadowBins::reset()
{
  for (ShadowTile &t : tiles)
    t = ShadowTile{-1, -1, 0, 0};
  chunks.clear();
  links.clear();
}

void ShadowBins::add(int tile, vec4f sphere)
{
  ShadowTile &t = tiles[tile];
  if (t.last >= 0 && t.lastCount < SHADOW_CHUNK_VECS)
  {
    chunks[t.last].v[t.lastCount++] = sphere;
    return;
  }
  const int c = chunks.size();
  chunks.push(ShadowChunk{});
  links.push(-1);
  if (t.last >= 0)
  {
    links[t.last] = c;
    t.fullChunks++;
  }
  else
    t.first = c;
  t.last = c;
  chunks[c].v[0] = sphere;
  t.lastCount = 1;
}

// A tile index along one axis from a clip-space coordinate: (c + 1) * scale truncated
// toward zero, clamped to 0..n-1 (NaN gives 0).
static int tile_coord(float c, float scale, int n)
{
  float t = (c + 1.f) * scale;
  if (!(t > 0.f))
    return 0;
  if (t >= float(n - 1))
    return n - 1;
  return int(t);
}

bool bin_shadow_ball(ShadowBins &bins, const ShadowView &view, vec4f center, float radius)
{
  const vec4f &L = view.light;
  const vec4f p(center.x - 3.f * radius * L.x, center.y - 3.f * radius * L.y, center.z - 3.f * radius * L.z, 1.f);
  const float R = 5.f * radius;
  const vec4f d = transform4(p, view.globTm);
  const vec4f e = view.globRk * R;
  const float w = d.w + e.w;
  // Written so that a NaN anywhere drops the sphere.
  if (!(d.x + e.x >= -w && d.y + e.y >= -w && d.z + e.z >= 0.f && d.x - e.x <= w && d.y - e.y <= w && d.z - e.z <= w))
    return false;
  const float dx = p.x - view.camPos.x, dz = p.z - view.camPos.z;
  if (!(dx * dx + dz * dz < SHADOW_MAX_DIST * SHADOW_MAX_DIST))
    return false;
  const float mw = std::fmax(d.w, 0.1f), sw = std::fmax(d.w - e.w, 0.1f);
  const float mx = d.x / mw, my = d.y / mw, sx = e.x / sw, sy = e.y / sw;
  const int c0 = tile_coord(mx - sx, 8.f, SHADOW_TILE_COLS), c1 = tile_coord(mx + sx, 8.f, SHADOW_TILE_COLS);
  const int r0 = tile_coord(my - sy, 4.5f, SHADOW_TILE_ROWS), r1 = tile_coord(my + sy, 4.5f, SHADOW_TILE_ROWS);
  const vec4f sphere(center.x, center.y, center.z, radius);
  for (int r = r0; r <= r1; r++)
    for (int c = c0; c <= c1; c++)
      bins.add(r * SHADOW_TILE_COLS + c, sphere);
  return true;
}
