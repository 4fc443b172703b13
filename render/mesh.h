#pragma once
// Mesh files and the shared mesh cache.
#include <cstdint>
#include "app/engine_api.h"
#include "app/dyn_array.h"
#include "render/buffers.h"

constexpr uint32_t MESH_FILE_VERSION = 0x12040900;

struct MeshSphere
{
  float x, y, z, r;
};
struct MeshTexName
{
  char name[64];
};

struct Mesh
{
  VertexBuffer *vb;
  IndexBuffer *ib;
  int stride;
  int numVerts;
  int numTris;
  DynArray<VsdElement> vsd; // without the end marker
  char *forwardShader;      // malloc'ed strings
  char *deferredShader;
  DynArray<MeshTexName> textures;
  char *fullPath;
  DynArray<MeshSphere> spheres;
  int refcount;
};

ENGINE_API Mesh *get_mesh(const char *name, bool fatal_on_fail);
ENGINE_API void release_mesh(Mesh *m);
ENGINE_API void free_all_meshes();
