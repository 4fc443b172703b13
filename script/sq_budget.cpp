#include "sq_budget.h"
#include <cstring>
#include "core/log.h"

ScriptBudgets script_budgets;

namespace
{
const char *const limit_text = "instruction limit exceeded";

// The VM states with a budget running, by their registry table (one per state, shared
// by its threads). Nesting across states is shallow: world generation calling effects.
const void *running[16];
int running_count = 0;

const void *state_key(HSQUIRRELVM vm)
{
  HSQOBJECT reg;
  sq_resetobject(&reg);
  sq_pushregistrytable(vm);
  sq_getstackobj(vm, -1, &reg);
  sq_poptop(vm);
  return reg._unVal.pTable;
}
} // namespace

ScriptBudget::ScriptBudget(HSQUIRRELVM v, int64_t instructions)
{
  const void *key = state_key(v);
  for (int i = 0; i < running_count; i++)
    if (running[i] == key)
      return;
  ASSERT(running_count < int(sizeof(running) / sizeof(running[0])));
  running[running_count++] = key;
  vm = v;
  sq_setinstructionlimit(v, SQInteger(instructions));
}

ScriptBudget::~ScriptBudget()
{
  if (!vm)
    return;
  const void *key = state_key(vm);
  for (int i = running_count - 1; i >= 0; i--)
    if (running[i] == key)
    {
      memmove(&running[i], &running[i + 1], sizeof(running[0]) * size_t(running_count - 1 - i));
      running_count--;
      break;
    }
  sq_setinstructionlimit(vm, 0);
}

SQRESULT budgeted_call(HSQUIRRELVM vm, SQInteger params, SQBool retval, int64_t instructions)
{
  ScriptBudget budget(vm, instructions);
  SQRESULT r = sq_call(vm, params, retval, SQTrue);
  if (SQ_FAILED(r))
  {
    // Read without sq_getstring's own error on a value that is no string (a thrown table).
    sq_getlasterror(vm);
    bool out_of_time = false;
    const SQChar *text = nullptr;
    if (sq_gettype(vm, -1) == OT_STRING && SQ_SUCCEEDED(sq_getstring(vm, -1, &text)))
      out_of_time = strcmp(text, limit_text) == 0;
    sq_poptop(vm);
    if (out_of_time)
      sq_throwerror(vm, script_too_long_text);
  }
  return r;
}
