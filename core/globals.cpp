#include "globals.h"

uint64_t game_rnd_seed = 0;
uint64_t fx_rnd_seed = 0x2545F4914F6CDD1Dull;
float time_dt = 0.f;
float time_ik = 1.f;
bool isAppActive = true;
bool isFullscreen = false;
bool show_fps = false;
