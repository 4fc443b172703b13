// Instanced bodies along a curve (the wyvern's body), low quality. See mesh_inst.inc.
#include "registers.inc"
#define MESH_KIND MESH_SPLINE
#include "sky_light.inc"
#include "mesh_inst.inc"
#include "mesh_forward.inc"
