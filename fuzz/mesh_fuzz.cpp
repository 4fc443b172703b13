// Mesh files as the mesh cache reads them: an accepted file has its vertex and index
// data inside the image, every index below the vertex count, and its names terminated.
#include <cstdint>
#include <cstring>
#include "render/mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  MeshFileData m;
  const char *err = nullptr;
  int ofs = -2;
  if (!parse_mesh_file(data, size, m, &err, &ofs))
  {
    if (!err || ofs < -1 || ofs > int(size))
      __builtin_trap();
    return 0;
  }
  const uint8_t *end = data + size;
  const size_t vbytes = size_t(m.stride) * m.numVerts, ibytes = size_t(m.numTris) * 6;
  if (!m.vertexData || !m.indexData || m.vertexData < data || m.vertexData + vbytes > end || m.indexData < data ||
      m.indexData + ibytes > end)
    __builtin_trap();
  for (size_t i = 0; i < size_t(m.numTris) * 3; i++)
    if (uint32_t(m.indexData[2 * i] | m.indexData[2 * i + 1] << 8) >= m.numVerts)
      __builtin_trap();
  if (strlen(m.forwardShader) >= sizeof(m.forwardShader) || strlen(m.deferredShader) >= sizeof(m.deferredShader))
    __builtin_trap();
  for (const MeshTexName &t : m.textures)
    if (strnlen(t.name, sizeof(t.name)) == sizeof(t.name))
      __builtin_trap();
  volatile uint8_t sink = m.vertexData[vbytes - 1] ^ m.indexData[ibytes - 1];
  (void)sink;
  return 0;
}
