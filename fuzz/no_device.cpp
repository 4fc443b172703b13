// The fuzz targets of the descriptor parsers link no device layer. The parsers never
// make a texture or a batch state, but the font and icon tables can release both; any
// of these reached from a parser is a fault of the target.
#include "render/render_batch.h"
#include "render/textures.h"

void free_texture(Texture *t)
{
  if (t)
    __builtin_trap();
}

BaseRenderBatchState::~BaseRenderBatchState() = default;
void BaseRenderBatchState::reset() { __builtin_trap(); }
void BaseRenderBatchState::begin(const BaseRenderBatchState *) { __builtin_trap(); }
void BaseRenderBatchState::end() { __builtin_trap(); }
StdRenderBatchState::~StdRenderBatchState() = default;
void StdRenderBatchState::begin(const BaseRenderBatchState *) { __builtin_trap(); }
