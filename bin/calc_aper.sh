// Ambient aperture per cell: in each of several directions the highest horizon angle
// over a growing distance; rgb = the bent normal (mean open direction) * 0.5 + 0.5,
// a = the visible fraction of the sky. QUALITY 0..2 sets directions and steps.
#include "height_pass.inc"

#if QUALITY == 0
#define APER_DIRS 6
#define APER_STEPS 5
#define APER_GROWTH 2.0
#elif QUALITY == 1
#define APER_DIRS 8
#define APER_STEPS 7
#define APER_GROWTH 1.65
#else
#define APER_DIRS 12
#define APER_STEPS 8
#define APER_GROWTH 1.55
#endif

#if PSH
void psh()
{
  float h0 = height_at(vec2(0.0));
  vec3 bent = vec3(0.0);
  float open = 0.0;
  for (int d = 0; d < APER_DIRS; d++)
  {
    float a = (float(d) + 0.5) * (6.2831853 / float(APER_DIRS));
    vec2 dir = vec2(cos(a), sin(a));
    float best = 0.0; // tangent of the horizon angle, never below the flat horizon
    float r = 0.9;
    for (int s = 0; s < APER_STEPS; s++)
    {
      best = max(best, (height_at(dir * r) - h0) / r);
      r *= APER_GROWTH;
    }
    float sin_h = best * inversesqrt(1.0 + best * best);
    float cos_h = sqrt(max(1.0 - sin_h * sin_h, 0.0));
    float vis = 1.0 - sin_h;
    // The middle of the open arc, between the horizon and the zenith.
    vec3 mid = normalize(vec3(dir.x * cos_h, 1.0 + sin_h, dir.y * cos_h));
    bent += mid * vis;
    open += vis;
  }
  open /= float(APER_DIRS);
  bent = length(bent) > 1e-5 ? normalize(bent) : vec3(0.0, 1.0, 0.0);
  COLOR0 = vec4(bent * 0.5 + 0.5, open);
}
#endif
