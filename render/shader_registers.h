#pragma once
// The register and sampler-stage names shared with the shaders (bin/registers.inc):
// VC_* and PC_* are register numbers, TEX_* are sampler names "sN"; TEX_STAGE(TEX_*)
// gives the stage number N.
#include <type_traits>
#include "bin/registers.inc"
#include "render/device.h"

// N of a sampler name "sN"; a malformed name does not compile where a constant is needed.
constexpr int sampler_stage(const char *name)
{
  if (name[0] != 's' || name[1] < '0' || name[1] > '9')
    throw "a sampler stage is named sN";
  int n = 0;
  for (const char *p = name + 1; *p; p++)
  {
    if (*p < '0' || *p > '9')
      throw "a sampler stage is named sN";
    n = n * 10 + (*p - '0');
  }
  if (n >= D3D_SAMPLER_STAGES)
    throw "no such sampler stage";
  return n;
}
#define TEX_STAGE_NAME_(name) #name
#define TEX_STAGE_NAME(name) TEX_STAGE_NAME_(name)
#define TEX_STAGE(tex) std::integral_constant<int, sampler_stage(TEX_STAGE_NAME(tex))>::value

// Names that describe one register block from two sides.
static_assert(VC_CAMERA_POS == VC_CAMERA_TM + VC_CAMERA_TM_COUNT - 1, "the camera's position is its matrix's last row");
static_assert(VC_FONT_TEXEL == VC_FONT_SCREEN + 1, "the font's registers are written together");
static_assert(VC_SKY + VC_SKY_COUNT <= D3D_VS_CONSTS && PC_SKY + PC_SKY_COUNT <= D3D_PS_CONSTS);
