// GUI images: a textured quad times the vertex colour (20-byte vertices: position,
// colour, uv). TEX_BATCH: the image, straight alpha; the output is premultiplied.
#include "gui_screen.inc"

VARYING vec4 v_color;
VARYING vec2 v_uv;

#if VSH
in vec4 POSITION0;
in vec4 COLOR0;
in vec4 TEXCOORD0;

void vsh()
{
  gl_Position = gui_clip(POSITION0.xy);
  v_color = COLOR0;
  v_uv = TEXCOORD0.xy;
}
#endif

#if PSH
void psh()
{
  COLOR0 = premul(texture(TEX_BATCH, v_uv) * v_color);
}
#endif
