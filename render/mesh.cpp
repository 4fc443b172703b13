// The shared mesh cache: meshes by full path, with static vertex and index buffers.
#include "render/mesh.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include "core/log.h"
#include "core/paths.h"

namespace
{
DynArray<Mesh *> mesh_cache; // in load order

char *dup_string(const char *s)
{
  size_t l = strlen(s) + 1;
  char *p = (char *)malloc(l);
  ASSERT(p);
  memcpy(p, s, l);
  return p;
}

void destroy_mesh(Mesh *m)
{
  release_vb(m->vb);
  release_ib(m->ib);
  free(m->forwardShader);
  free(m->deferredShader);
  free(m->fullPath);
  delete m;
}

// Builds the mesh or returns null with the message and offset of what went wrong.
Mesh *read_mesh(const char *path, const char *&err, int &ofs)
{
  ofs = -1;
  DynArray<uint8_t> data;
  bool opened = false;
  if (!read_whole_file(path, data, &opened))
  {
    err = opened ? "read error" : "Can't open file";
    if (opened)
      ofs = data.size();
    return nullptr;
  }

  MeshFileData f;
  if (!parse_mesh_file(data.ptr, size_t(data.size()), f, &err, &ofs))
    return nullptr;

  Mesh *m = new Mesh();
  m->stride = int(f.stride);
  m->numVerts = int(f.numVerts);
  m->numTris = int(f.numTris);
  m->vsd = f.vsd;
  m->textures = f.textures;
  m->spheres = f.spheres;
  m->forwardShader = dup_string(f.forwardShader);
  m->deferredShader = dup_string(f.deferredShader);
  m->refcount = 1;

  int vbytes = m->stride * m->numVerts, ibytes = m->numTris * 6;
  const char *fail = nullptr;
  void *p;
  if (!(m->vb = create_vb(vbytes, BUF_STATIC)))
    fail = "Can't create vertex buffer";
  else if (!(p = lock_vb(m->vb, 0, 0)))
    fail = "Can't lock vertex buffer";
  else
  {
    memcpy(p, f.vertexData, size_t(vbytes));
    unlock_vb(m->vb);
    if (!(m->ib = create_ib(m->numTris * 3, BUF_STATIC)))
      fail = "Can't create index buffer";
    else if (!(p = lock_ib(m->ib, 0, 0)))
      fail = "Can't lock index buffer";
    else
    {
      memcpy(p, f.indexData, size_t(ibytes));
      unlock_ib(m->ib);
    }
  }
  if (fail)
  {
    destroy_mesh(m);
    err = fail;
    ofs = -1;
    return nullptr;
  }
  return m;
}
} // namespace

Mesh *get_mesh(const char *name, bool fatal_on_fail)
{
  TempString<260> path = make_full_path(name);
  for (Mesh *m : mesh_cache)
    if (strcasecmp(m->fullPath, path) == 0)
    {
      m->refcount++;
      return m;
    }
  const char *err = nullptr;
  int ofs = -1;
  Mesh *m = read_mesh(path, err, ofs);
  if (!m)
  {
    if (fatal_on_fail)
      fatal("Error reading mesh file '%s':\n%s (offset %d)", path.c_str(), err, ofs);
    debug("Error reading mesh file '%s':\n%s (offset %d)", path.c_str(), err, ofs);
    fatal("%s(%d): failed ASSERT(%s)", "mesh", __LINE__, "m");
  }
  m->fullPath = dup_string(path);
  mesh_cache.push(m);
  return m;
}

void release_mesh(Mesh *m)
{
  if (!m)
    return;
  if (--m->refcount > 0)
    return;
  int i = mesh_cache.find(m);
  if (i >= 0)
    mesh_cache.erase(i);
  destroy_mesh(m);
}

void free_all_meshes()
{
  for (Mesh *m : mesh_cache)
    destroy_mesh(m);
  mesh_cache.release();
}
