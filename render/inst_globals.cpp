// The exported instance renderers and the table the module initialises them from.
#include "render/inst_render.h"

SimpleInstRender tree1_inst, tree1_lod_inst, tree1f_inst, stone1_inst, menhir1_inst, menhir2_inst;
SimpleInstRender wyvern_head_inst, wyvern_tail_inst, gatherer_eye_inst;
MorphInstRender bird_body_inst, gatherer_body_inst;
SplineInstRender wyvern_body_inst;
BuildingInstRender castle_wall1_inst, castle_wall2_inst, castle_wall3_inst, castle_wall4_inst;
BuildingInstRender castle_corner1_inst, castle_corner2_inst;
BuildingInstRender castle_slant1_inst, castle_slant2_inst, castle_slant3_inst, castle_slant4_inst;
BuildingInstRender castle_walk_inst, tower_wall1_inst, tower_wall2_inst, tower_corner_inst;
BuildingInstRender merlon_wall1_inst, merlon_wall2_inst, merlon_corner_inst, merlon_top_inst;
BuildingInstRender roof_corner_inst;

#define INST_ENTRY(name) {#name, &name##_inst},
const InstRenderEntry inst_render_table[] = {
  INST_ENTRY(tree1) INST_ENTRY(tree1_lod) INST_ENTRY(tree1f) INST_ENTRY(stone1) INST_ENTRY(menhir1) INST_ENTRY(menhir2)
    INST_ENTRY(wyvern_head) INST_ENTRY(wyvern_tail) INST_ENTRY(gatherer_eye) INST_ENTRY(bird_body)
      INST_ENTRY(gatherer_body) INST_ENTRY(wyvern_body) INST_ENTRY(castle_wall1) INST_ENTRY(castle_wall2)
        INST_ENTRY(castle_wall3) INST_ENTRY(castle_wall4) INST_ENTRY(castle_corner1) INST_ENTRY(castle_corner2)
          INST_ENTRY(castle_slant1) INST_ENTRY(castle_slant2) INST_ENTRY(castle_slant3) INST_ENTRY(castle_slant4)
            INST_ENTRY(castle_walk) INST_ENTRY(tower_wall1) INST_ENTRY(tower_wall2) INST_ENTRY(tower_corner)
              INST_ENTRY(merlon_wall1) INST_ENTRY(merlon_wall2) INST_ENTRY(merlon_corner) INST_ENTRY(merlon_top)
                INST_ENTRY(roof_corner){nullptr, nullptr},
};
#undef INST_ENTRY
static_assert(sizeof(inst_render_table) / sizeof(inst_render_table[0]) == INST_RENDER_COUNT + 1,
              "every exported instance renderer has its entry");
