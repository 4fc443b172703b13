// Between two results of the world refresh over the region where they differ:
// s0 = previous, s1 = next, pc[0] = (t, t, t, t); vc[16] and vc[17] as in map_pass.inc,
// vc[17] = (0.5, -0.5, 0.5 + 0.5 / size, 0.5 + 0.5 / size).
#include "map_pass.inc"

#if PSH
void psh()
{
  COLOR0 = mix(texture(s0, tc), texture(s1, tc), pc[0]);
}
#endif
