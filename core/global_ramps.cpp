#include "global_ramps.h"

ColorRamp glow_std_fade_anim(D3dColor(0x00000000u), D3dColor(0xFFFFFFFFu), D3dColor(0x00000000u), 0.1f, 0.9f);
ColorRamp blend_std_fade_anim(D3dColor(0x00FFFFFFu), D3dColor(0xFFFFFFFFu), D3dColor(0x00FFFFFFu), 0.1f, 0.9f);
ColorRamp blend_end_fade_anim(D3dColor(0x00FFFFFFu), D3dColor(0xFFFFFFFFu), D3dColor(0x00FFFFFFu), 0.1f, 0.1f);
ColorRamp blend_rev_fade_anim(D3dColor(0x00FFFFFFu), D3dColor(0xFFFFFFFFu), D3dColor(0x00FFFFFFu), 0.9f, 0.1f);
FloatRamp size_05_2_anim(0.5f, 2.0f);
FloatRamp size_05_4_anim(0.5f, 4.0f);
FloatRamp std_roll_anim(0.f);
