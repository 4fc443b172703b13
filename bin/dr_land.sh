// Land, high quality: into the geometry buffer (gbuffer.inc). Besides normal, albedo and
// openness the land stores its own shadow from the terrain in T4's alpha (0 = lit), from
// the aperture cone of TEX_APERTURE and the sun direction. See land_common.inc.
#include "registers.inc"
#include "sky_light.inc"
#include "gbuffer.inc"
#include "land_common.inc"
#include "land_shadow.inc"

VARYING vec3 v_pos;
VARYING vec3 v_eye;
VARYING vec4 v_uv;
VARYING float v_depth;

#if VSH
void vsh()
{
  vec3 p = land_world_pos();
  gl_Position = land_clip_pos(p);
  v_pos = p;
  v_eye = p - vc[VC_CAMERA_POS].xyz;
  v_uv = vec4(p.xz * vc[VC_LAND_COORD].xy + vc[VC_LAND_COORD].zz, p.xz * vc[VC_LAND_COORD].xy + vc[VC_LAND_COORD].ww);
  v_depth = gb_view_depth(vec4(p, 1.0));
}
#endif

#if PSH
void psh()
{
  vec3 n = land_normal(v_uv.zw);
  float dist = length(v_eye);
  vec3 albedo = land_albedo(v_pos, n, v_uv.xy, dist);
  vec4 aper = texture(TEX_APERTURE, v_uv.xy);
  gb_write_land(v_depth, n, albedo, clamp(aper.a * 1.15, 0.0, 1.0));
  COLOR0.a = aperture_shadow(aper);
}
#endif
