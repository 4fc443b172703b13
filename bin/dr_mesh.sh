// Rigid instanced meshes (trees, stones, menhirs, creature heads and eyes), high quality. See mesh_inst.inc.
#include "registers.inc"
#define MESH_KIND MESH_SIMPLE
#include "sky_light.inc"
#include "gbuffer.inc"
#include "mesh_inst.inc"
#include "mesh_deferred.inc"
