// Between two results of the world refresh over the region where they differ:
// TEX_INTERP_PREV, TEX_INTERP_NEXT, PC_INTERP_T = (t, t, t, t); the region as in
// map_pass.inc, VC_MAP_TEXMAP = (0.5, -0.5, 0.5 + 0.5 / size, 0.5 + 0.5 / size).
#include "registers.inc"
#include "map_pass.inc"

#if PSH
void psh()
{
  COLOR0 = mix(texture(TEX_INTERP_PREV, tc), texture(TEX_INTERP_NEXT, tc), pc[PC_INTERP_T]);
}
#endif
