// The vertex-declaration cache: layouts converted from VsdElement lists and shared by
// content. Declarations are plain descriptions; the device binds them to a program's
// attributes by semantic name at draw time.
#include <cstring>
#include "core/log.h"
#include "render/buffers.h"

namespace
{
// Filled in order, never freed before close_vdecls.
VertexDecl vdecl_slots[MAX_VDECLS];
bool vdecl_used[MAX_VDECLS];
static_assert(sizeof(vdecl_slots) / sizeof(vdecl_slots[0]) == MAX_VDECLS, "one slot per declaration");

const char *const type_names[8] = {"UNUSED", "FLOAT1", "FLOAT2", "FLOAT3", "FLOAT4", "D3DCOLOR", "SHORT2", "SHORT4"};
static_assert(sizeof(type_names) / sizeof(type_names[0]) == VSDT_SHORT4 + 1, "one name per element type");
} // namespace

const char *vsd_type_name(int type) { return type >= 0 && type <= VSDT_SHORT4 ? type_names[type] : "UNUSED"; }

// Converts the list into out (end marker included); fatal without an end marker within
// MAX_VDECL_LEN elements.
static void convert_vsd(const VsdElement *list, VertexDecl &out)
{
  int i = 0;
  for (;; i++)
  {
    if (!(i < MAX_VDECL_LEN))
      fatal("%s(%d): failed ASSERT(%s)", "d3d_misc", __LINE__, "i<MAX_VDECL_LEN");
    if (list[i].stream == 0xFF)
      break;
    VsdElement e = list[i];
    if (e.type < VSDT_FLOAT1 || e.type > VSDT_SHORT4)
      e.type = 0;
    if (e.usage > VSDU_TEXCOORD)
      e.usage = VSDU_TANGENT;
    out.elem[i] = e;
  }
  out.elem[i] = vsd_end();
  out.count = i + 1;
}

// What the device can bind: streams 0..15, usage indices 0..15, each semantic once.
static bool vdecl_valid(const VertexDecl &d)
{
  for (int i = 0; i + 1 < d.count; i++)
  {
    const VsdElement &e = d.elem[i];
    if (e.stream >= 16 || e.usageIndex >= 16)
      return false;
    for (int j = 0; j < i; j++)
      if (d.elem[j].usage == e.usage && d.elem[j].usageIndex == e.usageIndex)
        return false;
  }
  return true;
}

VDecl create_vdecl(const VsdElement *list)
{
  ASSERT(list);
  VertexDecl d;
  memset(&d, 0, sizeof(d));
  convert_vsd(list, d);
  if (!vdecl_valid(d))
  {
    debug("VSD:");
    for (int i = 0; list[i].stream != 0xFF; i++)
      debug("  %4u %2u %2u %2u %2u", list[i].offset, list[i].stream, list[i].type, list[i].usage, list[i].usageIndex);
    fatal("failed to create vertex declaration (code 0x%08X)", 0x8876086Cu);
  }
  for (int s = 0; s < MAX_VDECLS; s++)
    if (vdecl_used[s] && vdecl_slots[s].count == d.count &&
        memcmp(vdecl_slots[s].elem, d.elem, sizeof(VsdElement) * d.count) == 0)
      return &vdecl_slots[s];
  for (int s = 0; s < MAX_VDECLS; s++)
    if (!vdecl_used[s])
    {
      vdecl_slots[s] = d;
      vdecl_used[s] = true;
      return &vdecl_slots[s];
    }
  fatal("reached maximum vertex declaration count");
}

void close_vdecls()
{
  memset(vdecl_slots, 0, sizeof(vdecl_slots));
  memset(vdecl_used, 0, sizeof(vdecl_used));
}

int vdecl_count()
{
  int n = 0;
  for (bool u : vdecl_used)
    n += u;
  return n;
}
