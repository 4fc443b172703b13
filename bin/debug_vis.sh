// Debug geometry: world positions through the view-projection matrix, whose rows are in
// vc[0..3] (row vector times matrix), coloured per vertex.
VARYING vec4 v_color;

#if VSH
in vec4 POSITION0;
in vec4 COLOR0;

void vsh()
{
  gl_Position = POSITION0.x * vc[0] + POSITION0.y * vc[1] + POSITION0.z * vc[2] + vc[3];
  v_color = COLOR0;
}
#endif

#if PSH
void psh()
{
  COLOR0 = v_color;
}
#endif
