#include "frame_stats.h"

FrameStats frame_stats;
