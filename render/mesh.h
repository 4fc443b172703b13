#pragma once
// Mesh files and the shared mesh cache.
#include <cstdint>
#include "core/dyn_array.h"
#include "core/engine_api.h"
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

// A parsed mesh file; vertex and index data point into the file image.
struct MeshFileData
{
  char forwardShader[256];
  char deferredShader[256];
  DynArray<MeshTexName> textures;
  DynArray<MeshSphere> spheres;
  DynArray<VsdElement> vsd;
  uint32_t stride, numVerts, numTris;
  const uint8_t *vertexData; // stride x numVerts bytes
  const uint8_t *indexData;  // numTris x 3 little-endian uint16
};

// Parses and checks a whole mesh file image. False with *error and *offset set: the
// reader's own messages ("Invalid mesh file version", ...) carry -1, read errors the
// offset at which the data ran out.
bool parse_mesh_file(const uint8_t *data, size_t size, MeshFileData &out, const char **error, int *offset);
