#pragma once
// The object meshes by family. Texture names are relative to the program directory
// ("objects/<file>.dds"); the shaders are those of bin/mesh_inst.inc.
#include <vector>
#include "geom.h"

namespace meshgen
{
// tree1, tree1_lod (tree1 far away), tree1f, stone1, menhir1, menhir2
std::vector<Mesh> nature_meshes();
// The 19 house tile pieces 'a'..'s': roof_corner ... castle_corner2.
std::vector<Mesh> castle_meshes();
// wyvern_head, wyvern_body, wyvern_tail, bird_body, gatherer_body, gatherer_eye
std::vector<Mesh> creature_meshes();
} // namespace meshgen
