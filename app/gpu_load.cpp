#include "gpu_load.h"
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <glob.h>
#include <unistd.h>
#include "core/log.h"

// GPU activity from whichever backend answers first: NVIDIA's management library,
// loaded at run time, or the amdgpu driver's busy counter in sysfs.

namespace
{
using NvmlDevice = void *;
struct NvmlUtilization
{
  unsigned int gpu; // percent of time a kernel ran over the last sample period
  unsigned int memory;
};
using NvmlInitFn = int (*)();
using NvmlShutdownFn = int (*)();
using NvmlGetHandleFn = int (*)(unsigned int, NvmlDevice *);
using NvmlGetUtilizationFn = int (*)(NvmlDevice, NvmlUtilization *);

struct
{
  void *lib = nullptr;
  NvmlShutdownFn shutdown = nullptr;
  NvmlGetUtilizationFn utilization = nullptr;
  NvmlDevice device = nullptr;
} nvml;

int amd_fd = -1; // gpu_busy_percent, kept open and read with pread
} // namespace

static const char *const init_failed = "ADL_Main_Control_Create failed!";

static bool init_nvml()
{
  void *lib = dlopen("libnvidia-ml.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!lib)
    return false;
  auto init = (NvmlInitFn)dlsym(lib, "nvmlInit_v2");
  auto shutdown = (NvmlShutdownFn)dlsym(lib, "nvmlShutdown");
  auto get_handle = (NvmlGetHandleFn)dlsym(lib, "nvmlDeviceGetHandleByIndex_v2");
  auto utilization = (NvmlGetUtilizationFn)dlsym(lib, "nvmlDeviceGetUtilizationRates");
  if (!init || !shutdown || !get_handle || !utilization)
  {
    dlclose(lib);
    return false;
  }
  if (init() != 0)
  {
    debug("%s", init_failed);
    dlclose(lib);
    return false;
  }
  NvmlDevice dev = nullptr;
  if (get_handle(0, &dev) != 0)
  {
    debug("%s", init_failed);
    shutdown();
    dlclose(lib);
    return false;
  }
  nvml.lib = lib;
  nvml.shutdown = shutdown;
  nvml.utilization = utilization;
  nvml.device = dev;
  return true;
}

static bool read_amd(int fd, int &percent)
{
  char buf[16];
  ssize_t n = pread(fd, buf, sizeof(buf) - 1, 0);
  if (n <= 0)
    return false;
  buf[n] = 0;
  char *end = nullptr;
  long v = strtol(buf, &end, 10);
  if (end == buf || v < 0 || v > 100)
    return false;
  percent = int(v);
  return true;
}

static bool init_amd()
{
  glob_t g;
  if (glob("/sys/class/drm/card*/device/gpu_busy_percent", 0, nullptr, &g) != 0)
    return false;
  bool ok = false;
  for (size_t i = 0; i < g.gl_pathc && !ok; i++)
  {
    int fd = open(g.gl_pathv[i], O_RDONLY | O_CLOEXEC);
    int percent;
    if (fd >= 0 && read_amd(fd, percent))
    {
      amd_fd = fd;
      ok = true;
    }
    else if (fd >= 0)
      close(fd);
  }
  if (!ok)
    debug("%s", init_failed);
  globfree(&g);
  return ok;
}

void init_gpu_load()
{
  close_gpu_load();
  if (!init_nvml())
    init_amd();
}

void close_gpu_load()
{
  if (nvml.lib)
  {
    nvml.shutdown();
    dlclose(nvml.lib);
    nvml = {};
  }
  if (amd_fd >= 0)
  {
    close(amd_fd);
    amd_fd = -1;
  }
}

bool get_gpu_load(int &percent)
{
  if (nvml.lib)
  {
    NvmlUtilization u = {};
    if (nvml.utilization(nvml.device, &u) != 0)
      return false;
    percent = int(u.gpu);
    return true;
  }
  if (amd_fd >= 0)
    return read_amd(amd_fd, percent);
  return false;
}
