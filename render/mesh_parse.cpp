// Mesh file parsing. Every read is bounded by the file image and by the size the file
// gives for its body.
#include <cstring>
#include "render/mesh.h"

namespace
{
struct Reader
{
  const uint8_t *data;
  size_t size, pos = 0;
  const char *error = nullptr;
  int errorOffset = -1;

  bool fail(const char *msg, int ofs)
  {
    if (!error)
      error = msg, errorOffset = ofs;
    return false;
  }
  bool need(size_t n)
  {
    if (error)
      return false;
    if (n > size - pos)
      return fail("unexpected end of file", int(pos));
    return true;
  }
  uint8_t u8() { return need(1) ? data[pos++] : 0; }
  uint32_t u32()
  {
    if (!need(4))
      return 0;
    const uint8_t *p = data + pos;
    pos += 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  const uint8_t *bytes(size_t n)
  {
    if (!need(n))
      return nullptr;
    const uint8_t *p = data + pos;
    pos += n;
    return p;
  }
  // Byte L, then L + 1 bytes ending in NUL; copied into out (capacity cap).
  bool str(char *out, size_t cap, const char *too_long)
  {
    size_t l = u8();
    const uint8_t *p = bytes(l + 1);
    if (!p)
      return false;
    if (l + 1 > cap)
      return fail(too_long, -1);
    memcpy(out, p, l);
    out[l] = 0; // the stored NUL is not trusted
    return true;
  }
};
} // namespace

bool parse_mesh_file(const uint8_t *data, size_t size, MeshFileData &m, const char **error, int *offset)
{
  Reader r{data, data ? size : 0};
  m.forwardShader[0] = m.deferredShader[0] = 0;
  m.textures.clear();
  m.spheres.clear();
  m.vsd.clear();
  m.stride = m.numVerts = m.numTris = 0;
  m.vertexData = m.indexData = nullptr;

  uint32_t version = r.u32();
  if (!r.error && version != MESH_FILE_VERSION)
    r.fail("Invalid mesh file version", -1);
  uint32_t body = r.u32();
  if (!r.error && body < r.size - r.pos)
    r.size = r.pos + body; // the body ends where the file says

  r.str(m.forwardShader, sizeof(m.forwardShader), "Shader name too long");
  r.str(m.deferredShader, sizeof(m.deferredShader), "Shader name too long");
  int k = r.u8();
  for (int i = 0; i < k && !r.error; i++)
  {
    MeshTexName t;
    if (r.str(t.name, sizeof(t.name), "Texture name too long"))
      m.textures.push(t);
  }
  int s = r.u8();
  if (const uint8_t *p = r.bytes(size_t(s) * 16))
    for (int i = 0; i < s; i++)
    {
      MeshSphere sp;
      memcpy(&sp, p + i * 16, 16);
      m.spheres.push(sp);
    }
  int e = r.u8();
  if (const uint8_t *p = r.bytes(size_t(e) * 6))
  {
    if (e >= 32)
      r.fail("Too many vertex elements", -1);
    for (int i = 0; i < e && !r.error; i++)
    {
      VsdElement el;
      memcpy(&el, p + i * 6, 6);
      if (el.stream == 0xFF)
        r.fail("Invalid vertex element", -1);
      m.vsd.push(el);
    }
  }
  m.stride = r.u32();
  m.numVerts = r.u32();
  m.numTris = r.u32();
  if (!r.error && (m.stride == 0 || m.stride > 1024 || m.numVerts == 0 || m.numTris == 0 || m.numVerts > 65536 ||
                   m.numTris > (1u << 24)))
    r.fail("Invalid mesh size", -1);
  if (!r.error)
    m.vertexData = r.bytes(size_t(m.stride) * m.numVerts);
  if (!r.error)
    m.indexData = r.bytes(size_t(m.numTris) * 6);
  if (!r.error)
    for (size_t i = 0; i < size_t(m.numTris) * 3; i++)
      if (uint32_t(m.indexData[2 * i] | m.indexData[2 * i + 1] << 8) >= m.numVerts)
      {
        r.fail("Index out of range", -1);
        break;
      }
  if (error)
    *error = r.error;
  if (offset)
    *offset = r.errorOffset;
  return !r.error;
}
