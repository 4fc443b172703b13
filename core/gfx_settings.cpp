#include "gfx_settings.h"

int gfx_quality = GFX_QUALITY_HIGH;
const char *gfx_quality_name[] = {"low", "high", nullptr};
int land_shadow_quality = 2;
bool use_postfx = true;
bool use_ppaa = true;
bool use_obj_shadows = true;
bool use_fog = true;
bool use_wireframe = false;
bool app_use_vsync = true;
bool d3d_limit_buffered_frames = true;
