// InstRender: initialisation from a mesh file and the instanced draw of its list.
#include "render/inst_render.h"
#include <cmath>
#include <cstdlib>
#include <cstring>
#include "core/gfx_settings.h"
#include "core/log.h"
#include "render/device.h"
#include "render/mesh.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "render/shadow_balls.h"
#include "render/textures.h"

namespace
{
constexpr int CHUNK_BYTES = 32768; // owned instance memory grows in steps of at least this

// Stream 1 layouts. Offsets and sizes must match the record structs of inst_render.h.
const VsdElement simple_layout[] = {
  vsd_element(0, 1, VSDT_D3DCOLOR, VSDU_POSITION, 11), vsd_element(4, 1, VSDT_D3DCOLOR, VSDU_POSITION, 12),
  vsd_element(8, 1, VSDT_D3DCOLOR, VSDU_POSITION, 13), vsd_element(12, 1, VSDT_FLOAT3, VSDU_POSITION, 10),
  vsd_element(24, 1, VSDT_D3DCOLOR, VSDU_COLOR, 10),
};
const VsdElement morph_layout[] = {
  vsd_element(0, 1, VSDT_D3DCOLOR, VSDU_POSITION, 11), vsd_element(4, 1, VSDT_D3DCOLOR, VSDU_POSITION, 12),
  vsd_element(8, 1, VSDT_D3DCOLOR, VSDU_POSITION, 13), vsd_element(12, 1, VSDT_FLOAT3, VSDU_POSITION, 10),
  vsd_element(24, 1, VSDT_D3DCOLOR, VSDU_COLOR, 10),   vsd_element(28, 1, VSDT_D3DCOLOR, VSDU_POSITION, 15),
};
const VsdElement spline_layout[] = {
  vsd_element(0, 1, VSDT_FLOAT3, VSDU_POSITION, 10),  vsd_element(12, 1, VSDT_FLOAT3, VSDU_POSITION, 11),
  vsd_element(24, 1, VSDT_FLOAT3, VSDU_POSITION, 12), vsd_element(36, 1, VSDT_FLOAT3, VSDU_POSITION, 13),
  vsd_element(48, 1, VSDT_D3DCOLOR, VSDU_NORMAL, 10), vsd_element(52, 1, VSDT_D3DCOLOR, VSDU_NORMAL, 11),
  vsd_element(56, 1, VSDT_D3DCOLOR, VSDU_COLOR, 10),  vsd_element(60, 1, VSDT_D3DCOLOR, VSDU_COLOR, 11),
};
const VsdElement building_layout[] = {
  vsd_element(0, 1, VSDT_SHORT2, VSDU_POSITION, 10),
  vsd_element(4, 1, VSDT_FLOAT4, VSDU_POSITION, 11),
  vsd_element(20, 1, VSDT_D3DCOLOR, VSDU_POSITION, 12),
};
template <int N>
constexpr int count_of(const VsdElement (&)[N])
{
  return N;
}
static_assert(count_of(simple_layout) == 5 && count_of(morph_layout) == 6);
static_assert(count_of(spline_layout) == 8 && count_of(building_layout) == 3);
} // namespace

const VsdElement *SimpleInstRender::instanceLayout(int &count) const
{
  count = count_of(simple_layout);
  return simple_layout;
}
const VsdElement *MorphInstRender::instanceLayout(int &count) const
{
  count = count_of(morph_layout);
  return morph_layout;
}
const VsdElement *SplineInstRender::instanceLayout(int &count) const
{
  count = count_of(spline_layout);
  return spline_layout;
}
const VsdElement *BuildingInstRender::instanceLayout(int &count) const
{
  count = count_of(building_layout);
  return building_layout;
}

void build_inst_vsd(const DynArray<VsdElement> &mesh_vsd, const VsdElement *inst, int inum,
                    VsdElement out[MAX_VDECL_LEN])
{
  if (!(mesh_vsd.size() + inum < MAX_VDECL_LEN))
    fatal("%s(%d): failed ASSERT(%s)", "renderInst", __LINE__, "mesh->vsd.size()+inum<MAX_VDECL_LEN");
  int n = 0;
  for (const VsdElement &e : mesh_vsd)
  {
    out[n] = e;
    out[n++].stream = 0;
  }
  for (int i = 0; i < inum; i++)
    out[n++] = inst[i];
  out[n] = vsd_end();
}

void init_inst_render_internals() {}

void InstRender::init(const char *mesh_file)
{
  close();
  mesh = get_mesh(mesh_file, true);
  // The instanced draw packs the mesh size into 16 bits each.
  if (!(mesh->numVerts <= 0xFFFF && mesh->numTris <= 0xFFFF))
    fatal("%s(%d): failed ASSERT(%s)", "renderInst", __LINE__, "numVerts<=0xFFFF && numTris<=0xFFFF");
  int inum = 0;
  const VsdElement *inst = instanceLayout(inum);
  VsdElement list[MAX_VDECL_LEN];
  build_inst_vsd(mesh->vsd, inst, inum, list);
  vdecl = create_vdecl(list);
  shader = create_shader(gfx_quality == GFX_QUALITY_HIGH ? mesh->deferredShader : mesh->forwardShader, nullptr);
  if (!mesh->textures.empty())
    texture = get_texture(mesh->textures[0].name, true);
}

void InstRender::close()
{
  clearList();
  for (Chunk *c : chunks)
    free(c);
  chunks.release();
  chunksUsed = 0;
  if (texture)
    free_texture(texture);
  destroy_shader(shader);
  release_mesh(mesh);
  texture = nullptr;
  shader = nullptr;
  mesh = nullptr;
  vdecl = nullptr;
}

void InstRender::addBlock(InstBlock *b)
{
  b->next = nullptr;
  if (listTail)
    listTail->next = b;
  else
    list = b;
  listTail = b;
}

void *InstRender::allocInstances(int count)
{
  ASSERT(count >= 0);
  const int bytes = count * instanceSize();
  // Continue the last owned block when it is the list's tail and has room.
  if (chunksUsed > 0)
  {
    Chunk *c = chunks[chunksUsed - 1];
    if (listTail == &c->block && c->capacity - c->block.size >= bytes)
    {
      void *p = (uint8_t *)c->block.data + c->block.size;
      c->block.size += bytes;
      return p;
    }
  }
  if (chunksUsed == chunks.size() || chunks[chunksUsed]->capacity < bytes)
  {
    const int cap = bytes > CHUNK_BYTES ? bytes : CHUNK_BYTES;
    Chunk *c = (Chunk *)malloc(sizeof(Chunk) + size_t(cap));
    ASSERT(c);
    c->capacity = cap;
    c->block.data = c + 1;
    if (chunksUsed == chunks.size())
      chunks.push(c);
    else
    {
      free(chunks[chunksUsed]); // too small for this request: replace it
      chunks[chunksUsed] = c;
    }
  }
  Chunk *c = chunks[chunksUsed++];
  c->block.size = bytes;
  addBlock(&c->block);
  return c->block.data;
}

int InstRender::instanceCount() const
{
  const int stride = instanceSize();
  int n = 0;
  for (const InstBlock *b = list; b; b = b->next)
    n += b->size / stride;
  return n;
}

void InstRender::clearList()
{
  list = listTail = nullptr;
  chunksUsed = 0;
}

void InstRender::render()
{
  if (!list)
    return;
  if (!mesh || !vdecl || !shader)
  {
    clearList();
    return;
  }
  set_vdecl(vdecl);
  set_ib(mesh->ib);
  set_shader(shader);
  if (texture)
    set_texture(TEX_STAGE(TEX_MESH), texture);

  DynVBWriter &w = common_vb_writer;
  const int stride = instanceSize();
  const int capacity = w.size / stride;
  set_vb(0, mesh->vb, 0, mesh->stride);
  set_vb(1, w.vb, 0, stride);
  w.start(dynvb_draw_instances, unsigned(mesh->numVerts) << 16 | unsigned(mesh->numTris));
  for (const InstBlock *b = list; b; b = b->next)
  {
    int n = b->size / stride;
    const uint8_t *src = (const uint8_t *)b->data;
    while (n > 0)
    {
      int room = capacity - w.count;
      if (room <= 0)
      {
        w.flush(false);
        room = capacity;
      }
      const int k = n < room ? n : room;
      memcpy(w.cur, src, size_t(k) * size_t(stride));
      w.cur += k * stride;
      w.count += k;
      src += k * stride;
      n -= k;
    }
  }
  w.flush(true);
  set_instancing(0);
  clearList();
}

void InstRender::renderShadowBalls(const Matrix44 &tm, float scale) const
{
  if (!mesh)
    return;
  for (const MeshSphere &s : mesh->spheres)
  {
    vec4f c = transform_point(vec4f(s.x, s.y, s.z, 1.f), tm);
    render_shadow_ball(c, s.r * scale);
  }
}

D3dColor pack_inst_row(vec4f row, float scale)
{
  auto b = [](float v) { return unit_to_byte(v * 0.5f + 0.5f); };
  const float s = scale * 32.f + 0.5f;
  const uint32_t sb = s > 0.f ? (s < 255.f ? uint32_t(s) : 255u) : 0u; // NaN: 0
  return D3dColor((sb << 24) | (b(row.x) << 16) | (b(row.y) << 8) | b(row.z));
}

void pack_inst_rotation(const Matrix44 &rot, float sx, float sy, float sz, D3dColor out[3])
{
  out[0] = pack_inst_row(rot.row(0), sx);
  out[1] = pack_inst_row(rot.row(1), sy);
  out[2] = pack_inst_row(rot.row(2), sz);
}
