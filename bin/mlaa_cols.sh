// MLAA run lengths of vertical edges (the edge texture's green channel) along columns: counts
// upwards and downwards; [FINAL] writes them as blue and alpha (under colour mask 12,
// into the row result).
#define EDGE_CHANNEL g
#include "mlaa_runs.inc"
