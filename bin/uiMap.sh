// The world map of the play interface: the map image in a disc, opaque, with a thin
// darkening toward its rim (20-byte vertices: position, colour, uv over the disc 0..1).
// VC_GUI_MAP_OFFSET.xy is added to the uv (the map scrolls; TEX_BATCH, the map, wraps).
#include "gui_screen.inc"

VARYING vec4 v_color;
VARYING vec2 v_uv;
VARYING vec2 v_disc; // -1..1 across the quad

#if VSH
in vec4 POSITION0;
in vec4 COLOR0;
in vec4 TEXCOORD0;

void vsh()
{
  gl_Position = gui_clip(POSITION0.xy);
  v_color = COLOR0;
  v_uv = TEXCOORD0.xy + vc[VC_GUI_MAP_OFFSET].xy;
  v_disc = TEXCOORD0.xy * 2.0 - 1.0;
}
#endif

#if PSH
void psh()
{
  float r = length(v_disc);
  float edge = clamp((1.0 - r) / max(fwidth(r), 1e-4), 0.0, 1.0);
  vec3 map = texture(TEX_BATCH, v_uv).rgb * mix(1.0, 0.72, smoothstep(0.7, 1.0, r));
  COLOR0 = premul(vec4(map * v_color.rgb, v_color.a * edge));
}
#endif
