// The land as the objects see it.
import core.engine

static float land_at(const float *h, int x, int z) { return h[((z & 255) << 8) | (x & 255)]; }

// Bilinear height of the wrapping height map at a ground point; 0 without a world.
float get_land_height(float x, float z)
{
  const float *h = land_heights();
  if (!h || !std::isfinite(x) || !std::isfinite(z))
    return 0.f;
  float fx = std::floor(x), fz = std::floor(z);
  int ix = int(int64_t(fx) & 255), iz = int(int64_t(fz) & 255);
  float tx = x - fx, tz = z - fz;
  float h00 = land_at(h, ix, iz), h10 = land_at(h, ix + 1, iz);
  float h01 = land_at(h, ix, iz + 1), h11 = land_at(h, ix + 1, iz + 1);
  float a = h00 + (h10 - h00) * tx;
  float b = h01 + (h11 - h01) * tx;
  return a + (b - a) * tz;
}

// Unit normal of the land surface from the height differences one cell to either side.
vec4f calc_land_norm(float x, float z)
{
  float dx = get_land_height(x + 1.f, z) - get_land_height(x - 1.f, z);
  float dz = get_land_height(x, z + 1.f) - get_land_height(x, z - 1.f);
  return normalize3(vec4f(-dx, 2.f, -dz, 0.f));
}
