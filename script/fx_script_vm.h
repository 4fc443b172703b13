#pragma once
// The effects script's VM and its files (for the binding layer and tests); open between
// init_fx_script and close_fx_script.
#include "script/fx_script.h"
#include "script/sq_reloadable_vm.h"

extern ENGINE_API SqReloadableVM fx_script;
