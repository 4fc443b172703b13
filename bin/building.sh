// House cells drawn from the building pieces (castles and towers), low quality. See mesh_inst.inc.
#include "registers.inc"
#define MESH_KIND MESH_BUILDING
#include "sky_light.inc"
#include "mesh_inst.inc"
#include "mesh_forward.inc"
