// Instanced meshes with morph targets (bird and gatherer bodies), high quality. See mesh_inst.inc.
#include "registers.inc"
#define MESH_KIND MESH_MORPH
#include "sky_light.inc"
#include "gbuffer.inc"
#include "mesh_inst.inc"
#include "mesh_deferred.inc"
