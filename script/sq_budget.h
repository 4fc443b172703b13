#pragma once
// Every call from native code into a script runs under an instruction budget: an endless
// loop in a script ends with the error "script took too long" instead of freezing the
// game. The count is of VM instructions, so a budget ends a script at the same point on
// every machine and every run.
#include <cstdint>
#include <squirrel.h>
#include "core/engine_api.h"

// The instructions a call may run. Set once at start-up; tests lower them.
struct ScriptBudgets
{
  // A call made once per frame or update (events, update functions, the sky, effects):
  // about a tenth of a second of script on a slow machine.
  int64_t call = 20'000'000;
  // Running a whole file, and building a world: many times what the shipped scripts need.
  int64_t world = 1'000'000'000;
};
extern ENGINE_API ScriptBudgets script_budgets;

// What a call whose budget ran out leaves as the VM's last error.
inline const char *const script_too_long_text = "script took too long";

// Gives the scripts of vm (and of every VM sharing its state) `instructions` to run
// while it lives. Inside a running budget of the same VM it does nothing: the outer
// budget covers the calls nested in it.
struct ENGINE_API ScriptBudget
{
  HSQUIRRELVM vm = nullptr; // set when this budget is the outer one
  ScriptBudget(HSQUIRRELVM v, int64_t instructions);
  ~ScriptBudget();
  ScriptBudget(const ScriptBudget &) = delete;
  ScriptBudget &operator=(const ScriptBudget &) = delete;
};

// sq_call (errors raised to the handler) under a budget of `instructions` unless one
// runs already. A call that ran out fails with script_too_long_text as the last error.
ENGINE_API SQRESULT budgeted_call(HSQUIRRELVM vm, SQInteger params, SQBool retval, int64_t instructions);
inline SQRESULT budgeted_call(HSQUIRRELVM vm, SQInteger params, SQBool retval)
{
  return budgeted_call(vm, params, retval, script_budgets.call);
}
