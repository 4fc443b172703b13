// Instanced meshes with morph targets (bird and gatherer bodies), low quality. See mesh_inst.inc.
#include "registers.inc"
#define MESH_KIND MESH_MORPH
#include "sky_light.inc"
#include "mesh_inst.inc"
#include "mesh_forward.inc"
