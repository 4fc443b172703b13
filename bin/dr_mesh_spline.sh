// Instanced bodies along a curve (the wyvern's body), high quality. See mesh_inst.inc.
#include "registers.inc"
#define MESH_KIND MESH_SPLINE
#include "sky_light.inc"
#include "gbuffer.inc"
#include "mesh_inst.inc"
#include "mesh_deferred.inc"
