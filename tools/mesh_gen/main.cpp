// mesh_gen: writes every object mesh of the game and the textures they name into one
// folder (the program's "objects/"):
//   mesh_gen <out dir>
// The output is the same on every run.
#include <cstdio>
#include <string>
#include "../asset_files.h"
#include "meshes.h"
#include "textures.h"

int main(int argc, char **argv)
{
  using namespace meshgen;
  if (argc != 2)
  {
    fprintf(stderr, "usage: mesh_gen <out dir>\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  std::vector<Mesh> all;
  for (auto *family : {nature_meshes, castle_meshes, creature_meshes})
    for (Mesh &m : family())
      all.push_back(std::move(m));
  int tris = 0;
  for (const Mesh &m : all)
  {
    if (!write_mesh(dir + m.name + ".mesh", m))
      return 1;
    tris += m.triCount();
  }
  for (const TextureFile &t : object_textures())
    if (!asset::write_file("mesh_gen", dir + t.name, t.data))
      return 1;
  printf("mesh_gen: %d meshes, %d triangles\n", int(all.size()), tris);
  return 0;
}
