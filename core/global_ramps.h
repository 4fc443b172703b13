#pragma once
// Ramps shared with the game-object module, built by static initialisation before the
// program's entry runs. std_roll_anim is all zero and never written by the program.
#include "ramp.h"

extern ENGINE_API ColorRamp glow_std_fade_anim;
extern ENGINE_API ColorRamp blend_std_fade_anim;
extern ENGINE_API ColorRamp blend_end_fade_anim;
extern ENGINE_API ColorRamp blend_rev_fade_anim;
extern ENGINE_API FloatRamp size_05_2_anim;
extern ENGINE_API FloatRamp size_05_4_anim;
extern ENGINE_API FloatRamp std_roll_anim;
