#pragma once
// Instanced meshes: an InstRender pairs one mesh file with the per-instance layout of its
// kind. During a frame the game-object module appends instance records to its list;
// render() streams them through common_vb_writer, one instanced draw per buffer fill,
// and empties the list.
//
// Stream 0 is the mesh's vertex buffer, stream 1 the instance records. What the fields of
// a record mean is the business of the mesh's shaders (bin/mesh_inst.inc) and of the
// module that writes them; the comments below give that meaning.
#include <cstdint>
#include "core/d3dcolor.h"
#include "core/dyn_array.h"
#include "core/engine_api.h"
#include "core/matrix44.h"
#include "render/buffers.h"

struct Mesh;
struct Shader;
struct Texture;

// One block of instance records; size is in bytes, a whole number of records. Blocks stay
// owned by whoever appended them and must live until the next render().
struct InstBlock
{
  void *data;
  int size;
  InstBlock *next;
};

class ENGINE_API InstRender
{
public:
  // The per-instance elements (stream 1) and their count.
  virtual const VsdElement *instanceLayout(int &count) const = 0;
  virtual int instanceSize() const = 0;

  InstBlock *list = nullptr; // this frame's records, in drawing order
  Mesh *mesh = nullptr;
  Shader *shader = nullptr;
  VDecl vdecl = nullptr;
  Texture *texture = nullptr; // the mesh's first texture, or null
  InstBlock *listTail = nullptr;

  InstRender() = default;
  InstRender(const InstRender &) = delete;
  InstRender &operator=(const InstRender &) = delete;

  // Loads the mesh (fatal on failure), builds the declaration (mesh layout on stream 0,
  // instance layout on stream 1), creates the deferred shader at high quality and the
  // forward one otherwise, and loads the first texture. A second init replaces the first.
  void init(const char *mesh_file);
  // Releases what init took; safe when init never ran.
  void close();
  // Draws and empties the list; nothing when it is empty or init never ran.
  void render();
  // render_shadow_ball((x, y, z, 1) * tm, r * scale) for every sphere of the mesh.
  void renderShadowBalls(const Matrix44 &tm, float scale) const;

  // Appends a block the caller owns.
  void addBlock(InstBlock *block);
  // Room for count records at the end of the list, in memory that the renderer owns and
  // reuses after render(). Write exactly count records there.
  void *allocInstances(int count);
  // Records in the list.
  int instanceCount() const;
  // Empties the list without drawing.
  void clearList();

protected:
  ~InstRender() = default;

private:
  struct Chunk
  {
    InstBlock block;
    int capacity; // bytes
  };
  DynArray<Chunk *> chunks; // owned memory for allocInstances, reused every frame
  int chunksUsed = 0;
};

// Instance records. Packed rotation rows are D3DCOLOR bytes (x = R, y = G, z = B, w = A):
// xyz = the row * 0.5 + 0.5, w = the scale along that row * 32 (32 = 1.0, at most 255). A vertex v
// of the mesh lands at pos + v.x * row0 * s0 + v.y * row1 * s1 + v.z * row2 * s2.
// color: rgb = tint (128 = unchanged), a = glow (0 = none).
struct SimpleInstance
{
  D3dColor rot[3];
  float pos[3];
  D3dColor color;
};
// weights: x, y, z, w = the weights of the mesh's morph targets 1..4 (0..255 = 0..1).
struct MorphInstance
{
  D3dColor rot[3];
  float pos[3];
  D3dColor color;
  D3dColor weights;
};
// A body along the cubic Bezier curve through the control points p[0] (head end) to p[3]
// (tail end). up[i]: xyz = the body's up direction * 0.5 + 0.5 at the head end (0) and at
// the tail end (1), w = the body's thickness there / 2 (128 = 1.0). color[i].rgb: tints
// at the two ends as in SimpleInstance; color[0].a = glow, color[1].a = the wings' lift
// (0 = fully down, 128 = level, 255 = fully up; a wing beat swings it).
struct SplineInstance
{
  float p[4][3];
  D3dColor up[2];
  D3dColor color[2];
};
// One house cell: its corner (x, z) as drawn (unwrapped near the camera), the heights of
// its corners (x, z), (x + 1, z), (x, z + 1), (x + 1, z + 1) as drawn, and in info
// x = house_rot / 255 (bit 0 swaps x and z, bit 1 mirrors x, bit 2 mirrors z, applied to
// the piece in that order), y = a per-cell variation, zw unused.
struct BuildingInstance
{
  int16_t x, z;
  float h[4];
  D3dColor info;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(SimpleInstance) == 28 && offsetof(SimpleInstance, pos) == 12 &&
              offsetof(SimpleInstance, color) == 24);
static_assert(sizeof(MorphInstance) == 32 && offsetof(MorphInstance, weights) == 28);
static_assert(sizeof(SplineInstance) == 64 && offsetof(SplineInstance, up) == 48 &&
              offsetof(SplineInstance, color) == 56);
static_assert(sizeof(BuildingInstance) == 24 && offsetof(BuildingInstance, h) == 4 &&
              offsetof(BuildingInstance, info) == 20);
#pragma GCC diagnostic pop

class ENGINE_API SimpleInstRender : public InstRender
{
public:
  const VsdElement *instanceLayout(int &count) const override;
  int instanceSize() const override { return int(sizeof(SimpleInstance)); }
};
class ENGINE_API MorphInstRender : public InstRender
{
public:
  const VsdElement *instanceLayout(int &count) const override;
  int instanceSize() const override { return int(sizeof(MorphInstance)); }
};
class ENGINE_API SplineInstRender : public InstRender
{
public:
  const VsdElement *instanceLayout(int &count) const override;
  int instanceSize() const override { return int(sizeof(SplineInstance)); }
};
class ENGINE_API BuildingInstRender : public InstRender
{
public:
  const VsdElement *instanceLayout(int &count) const override;
  int instanceSize() const override { return int(sizeof(BuildingInstance)); }
};

// The declaration list of a mesh layout (stream 0) followed by an instance layout, with
// the end marker; fatal (source "renderInst") when together they exceed 31 elements.
ENGINE_API void build_inst_vsd(const DynArray<VsdElement> &mesh_vsd, const VsdElement *inst, int inum,
                               VsdElement out[MAX_VDECL_LEN]);

// Packing helpers for instance records.
// An instance colour: tints r, g, b (1 = unchanged, up to 2) and glow (0 = none).
inline D3dColor inst_tint(float r, float g, float b, float glow = 0.f)
{
  return vec4f_to_color(vec4f(r * 0.5f, g * 0.5f, b * 0.5f, glow));
}
// A rotation row (unit vector) with the scale along it (0 .. 255/32).
ENGINE_API D3dColor pack_inst_row(vec4f row, float scale);
// The three rows of rot (rows 0..2 of a rotation matrix) scaled by sx, sy, sz.
ENGINE_API void pack_inst_rotation(const Matrix44 &rot, float sx, float sy, float sz, D3dColor out[3]);

ENGINE_API void init_inst_render_internals();

// The exported instances; the module initialises each with its mesh (init_inst_render).
// tree1_lod_inst draws tree1 far away, with a fifth of its triangles.
extern ENGINE_API SimpleInstRender tree1_inst, tree1_lod_inst, tree1f_inst, stone1_inst, menhir1_inst, menhir2_inst;
extern ENGINE_API SimpleInstRender wyvern_head_inst, wyvern_tail_inst, gatherer_eye_inst;
extern ENGINE_API MorphInstRender bird_body_inst, gatherer_body_inst;
extern ENGINE_API SplineInstRender wyvern_body_inst;
extern ENGINE_API BuildingInstRender castle_wall1_inst, castle_wall2_inst, castle_wall3_inst, castle_wall4_inst;
extern ENGINE_API BuildingInstRender castle_corner1_inst, castle_corner2_inst;
extern ENGINE_API BuildingInstRender castle_slant1_inst, castle_slant2_inst, castle_slant3_inst, castle_slant4_inst;
extern ENGINE_API BuildingInstRender castle_walk_inst, tower_wall1_inst, tower_wall2_inst, tower_corner_inst;
extern ENGINE_API BuildingInstRender merlon_wall1_inst, merlon_wall2_inst, merlon_corner_inst, merlon_top_inst;
extern ENGINE_API BuildingInstRender roof_corner_inst;

// Every exported instance with the file name of its mesh ("objects/<name>.mesh"), for the
// module's init_inst_render and for tools; ends with a null entry.
struct InstRenderEntry
{
  const char *name; // the mesh name, e.g. "tree1"
  InstRender *inst;
};
extern ENGINE_API const InstRenderEntry inst_render_table[];
constexpr int INST_RENDER_COUNT = 31;
