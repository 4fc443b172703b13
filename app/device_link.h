#pragma once

// The render device as the window and input code see it, so that app/ needs no link
// dependency on render/. Start-up points it at d3d_wd, d3d_ht and resize_d3d once the
// device exists; until then it points at a stand-in that only keeps the size and the
// full-screen flag.
struct DeviceLink
{
  const int *wd; // back-buffer width (d3d_wd)
  const int *ht; // back-buffer height (d3d_ht)
  // resize_d3d(width, height, full screen, force): 0 x 0 with full screen = the display size.
  void (*resize)(int w, int h, bool fullscreen, bool force);
};
extern DeviceLink device_link;

inline int view_width() { return *device_link.wd; }
inline int view_height() { return *device_link.ht; }

// The stand-in's own size; start-up sets it to the requested size.
void standin_set_size(int w, int h);
