#pragma once
// The script classes "ColorRamp" and "FloatRamp": each instance owns a heap ramp, freed
// by its release hook when the VM collects the instance.
#include "core/ramp.h"
#include "sqbind.h"

struct SqColorRamp : ColorRamp
{};
struct SqFloatRamp : FloatRamp
{};

ENGINE_API void bind_ramps(HSQUIRRELVM vm);

extern template struct sqbind::ClassTag<SqColorRamp>;
extern template struct sqbind::ClassTag<SqFloatRamp>;
