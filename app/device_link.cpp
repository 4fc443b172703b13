#include "device_link.h"
#include <SDL2/SDL.h>
#include "core/globals.h"
#include "window.h"

// Until the render device exists, the back buffer is only a size.
static int standin_wd = 0, standin_ht = 0;

static void standin_resize(int w, int h, bool fullscreen, bool)
{
  if (fullscreen && (w <= 0 || h <= 0))
  {
    SDL_Rect r = {0, 0, 0, 0};
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDisplayBounds(0, &r) == 0)
    {
      w = r.w;
      h = r.h;
    }
  }
  if (w > 0 && h > 0)
  {
    standin_wd = w;
    standin_ht = h;
  }
  isFullscreen = fullscreen;
}

void standin_set_size(int w, int h)
{
  standin_wd = w;
  standin_ht = h;
}

DeviceLink device_link = {&standin_wd, &standin_ht, standin_resize};
