#include "replay_hash.h"
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include "core/globals.h"
#include "core/hash64.h"
#include "gameobj/gameobj_host.h"
#include "world/heightmap.h"

uint64_t world_state_hash(bool *with_objects)
{
  using HD = HeightmapData;
  Hash64 h;
  h.floats(HD::hmap, HMAP_CELLS);
  h.floats(HD::target_hmap, HMAP_CELLS);
  h.bytes(HD::water, sizeof(HD::water));
  h.bytes(HD::surface, sizeof(HD::surface));
  h.u64(game_rnd_seed);
  const bool objects = gameobj_state_hash(h.h);
  if (with_objects)
    *with_objects = objects;
  return h.h;
}

// Folds the file's bytes into h; false when it cannot be read to its end.
static bool hash_file(const char *path, Hash64 &h)
{
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  char buf[65536];
  bool ok = true;
  for (;;)
  {
    const ssize_t n = read(fd, buf, sizeof(buf));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
    {
      ok = n == 0;
      break;
    }
    h.bytes(buf, size_t(n));
  }
  close(fd);
  return ok;
}

uint64_t program_build_id()
{
  Hash64 h;
  if (!hash_file("/proc/self/exe", h))
    h.u64(0);
  if (!gameobj_module_file_hash(h.h))
    h.u64(0);
  return h.h;
}
