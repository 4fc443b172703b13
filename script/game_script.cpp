#include "game_script.h"
#include <cmath>
#include "sqbind.h"
#include "world_script.h"

using namespace sqbind;

void world_script_game_event(const char *type, const GameEventField *fields, int count)
{
  HSQUIRRELVM vm = world_script.vm;
  if (!vm || !type)
    return;
  SqObject event;
  {
    StackRestore keep(vm, sq_gettop(vm));
    sq_newtable(vm);
    sq_pushstring(vm, "type", -1);
    sq_pushstring(vm, type, -1);
    sq_newslot(vm, -3, SQFalse);
    for (int i = 0; i < count; i++)
    {
      if (!fields[i].name)
        continue;
      sq_pushstring(vm, fields[i].name, -1);
      if (fields[i].text)
        sq_pushstring(vm, fields[i].text, -1);
      else
        sq_pushfloat(vm, fields[i].value);
      sq_newslot(vm, -3, SQFalse);
    }
    event.fromStack(vm, -1);
  }
  world_script_event(event);
}

void world_script_update(float t)
{
  if (world_script.vm)
    update_world_script(t);
}

// The closure's free variable (the last stack entry) holds the module function.
static SQInteger call_game_script_fn(HSQUIRRELVM vm)
{
  SQUserPointer up = nullptr;
  if (SQ_FAILED(sq_getuserpointer(vm, -1, &up)) || !up)
    return sq_throwerror(vm, "no function stored for C++ call");
  const int count = int(sq_gettop(vm)) - 2; // without `this` and the free variable
  GameScriptArg args[16];
  if (count > 16)
    return sq_throwerror(vm, "too many parameters");
  for (int i = 0; i < count; i++)
  {
    const SQInteger idx = 2 + i;
    GameScriptArg &a = args[i];
    a.text = nullptr;
    a.value = 0.f;
    switch (sq_gettype(vm, idx))
    {
    case OT_INTEGER:
    {
      SQInteger v = 0;
      sq_getinteger(vm, idx, &v);
      a.value = float(v);
      break;
    }
    case OT_FLOAT:
    {
      SQFloat v = 0;
      sq_getfloat(vm, idx, &v);
      a.value = float(v);
      break;
    }
    case OT_BOOL:
    {
      SQBool v = SQFalse;
      sq_getbool(vm, idx, &v);
      a.value = v ? 1.f : 0.f;
      break;
    }
    case OT_STRING:
      sq_getstring(vm, idx, &a.text);
      break;
    default:
      break;
    }
  }
  const float r = ((GameScriptFn)up)(args, count);
  if (std::isfinite(r) && r == std::floor(r) && std::fabs(r) < 2147483647.f)
    sq_pushinteger(vm, SQInteger(r));
  else
    sq_pushfloat(vm, r);
  return 1;
}

void bind_game_script_func(SQVM *vm, const char *name, GameScriptFn fn, int min_args)
{
  if (!vm || !name || !fn)
    return;
  StackRestore keep(vm, sq_gettop(vm));
  sq_pushroottable(vm);
  sq_pushstring(vm, name, -1);
  sq_pushuserpointer(vm, (SQUserPointer)fn);
  sq_newclosure(vm, call_game_script_fn, 1);
  sq_setparamscheck(vm, -(min_args + 1), nullptr);
  sq_setnativeclosurename(vm, -1, name);
  sq_newslot(vm, -3, SQFalse);
}

bool get_game_script_number(const char *name, float *out)
{
  HSQUIRRELVM vm = world_script.vm;
  if (!vm || !name || !out)
    return false;
  StackRestore keep(vm, sq_gettop(vm));
  sq_pushroottable(vm);
  sq_pushstring(vm, name, -1);
  if (SQ_FAILED(sq_rawget(vm, -2)))
    return false;
  switch (sq_gettype(vm, -1))
  {
  case OT_INTEGER:
  {
    SQInteger v = 0;
    sq_getinteger(vm, -1, &v);
    *out = float(v);
    return true;
  }
  case OT_FLOAT:
  {
    SQFloat v = 0;
    sq_getfloat(vm, -1, &v);
    *out = float(v);
    return true;
  }
  case OT_BOOL:
  {
    SQBool v = SQFalse;
    sq_getbool(vm, -1, &v);
    *out = v ? 1.f : 0.f;
    return true;
  }
  default:
    return false;
  }
}

void set_game_script_number(const char *name, float value)
{
  HSQUIRRELVM vm = world_script.vm;
  if (!vm || !name)
    return;
  StackRestore keep(vm, sq_gettop(vm));
  sq_pushroottable(vm);
  sq_pushstring(vm, name, -1);
  if (value == std::floor(value) && std::fabs(value) < 2147483647.f)
    sq_pushinteger(vm, SQInteger(value));
  else
    sq_pushfloat(vm, value);
  sq_newslot(vm, -3, SQFalse);
}
