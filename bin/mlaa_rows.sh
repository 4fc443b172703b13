// MLAA run lengths of horizontal edges (the edge texture's red channel) along rows: r = pixels
// of the run ending here from the left, g = from the right (both including this one).
#define EDGE_CHANNEL r
#include "mlaa_runs.inc"
