// A stand-in game-object module for the host tests, built in several variants:
//   TEST_MODULE_VERSION 1 or 2: TestA::query answers 100 + version;
//   TEST_MODULE_MISSING_FUNC: lacks "init_gameobj";
//   TEST_MODULE_CLASS_COUNT n: reports n classes;
//   TEST_MODULE_NO_ENTRY: exports neither entry point;
//   TEST_MODULE_GNU_UNIQUE: holds a GNU-unique symbol (when built without
//   -fno-gnu-unique), which keeps it loaded for good.
#include <cstring>
#include <new>
#include "gameobj/gameobj.h"
#include "gameobj/gameobj_funcs.h"

#ifndef TEST_MODULE_VERSION
#define TEST_MODULE_VERSION 1
#endif
#ifndef TEST_MODULE_CLASS_COUNT
#define TEST_MODULE_CLASS_COUNT GAMEOBJ_CLASS_COUNT
#endif

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace
{
class TestA : public GameObj
{
public:
  int query(int) override { return 100 + TEST_MODULE_VERSION; }
};
// Stands in Player_list as well as GameObj_list.
class TestB : public GameObj
{
public:
  int query(int) override { return 200 + TEST_MODULE_VERSION; }
};
// The other classes of the list, each with its own table.
template <int N>
class Filler : public GameObj
{
public:
  int query(int) override { return N; }
};

template <class T>
void *table_of()
{
  alignas(T) unsigned char buf[sizeof(T)];
  T *t = new (buf) T();
  void *vt;
  memcpy(&vt, (void *)t, sizeof(vt));
  t->~T();
  return vt;
}

template <int... I>
void fill_tables(void **out, std::integer_sequence<int, I...>)
{
  ((out[3 + I] = table_of<Filler<3 + I>>()), ...);
}

int link_gui_calls = 0;
} // namespace

// Every interface function does nothing and answers zero; the two renamed here get the
// definitions below instead (the name table still lists them under their own names).
#define TEST_FUNC(name, ret, args) \
  ret name args { return (ret)0; }
#define new_gameobj_by_id new_gameobj_by_id_default
#define get_land_height get_land_height_default
GAMEOBJ_FUNCS(TEST_FUNC)
#undef new_gameobj_by_id
#undef get_land_height

// 1 = TestA, 2 = TestB (also in Player_list), 3.. = fillers (GameObj_list only).
GameObj *new_gameobj_by_id(int id)
{
  GameObj *o = nullptr;
  if (id == 1)
    o = new TestA();
  else if (id == 2)
    o = new TestB();
  else
    o = new Filler<3>();
  GameObj_list.push(o);
  if (id == 2)
    Player_list.push(o);
  return o;
}

#ifdef TEST_MODULE_GNU_UNIQUE
// An inline function's static, visible from outside: the compiler makes it unique.
__attribute__((visibility("default"))) inline int &unique_counter()
{
  static int n = 0;
  return n;
}
#endif

// Reports the module's version and how often link_gui ran.
float get_land_height(float, float)
{
#ifdef TEST_MODULE_GNU_UNIQUE
  unique_counter()++;
#endif
  return float(TEST_MODULE_VERSION * 1000 + link_gui_calls);
}

[[maybe_unused]] static void link_gui() { link_gui_calls++; }

#ifndef TEST_MODULE_NO_ENTRY
EXPORT void *get_gameobj_func_by_name(const char *name)
{
#ifdef TEST_MODULE_MISSING_FUNC
  if (!strcmp(name, "init_gameobj"))
    return nullptr;
#endif
#define TEST_FUNC_ENTRY(fname, ret, args) \
  if (!strcmp(name, #fname))              \
    return (void *)static_cast<ret(*) args>(&fname);
  GAMEOBJ_FUNCS(TEST_FUNC_ENTRY)
  if (!strcmp(name, "link_gui"))
    return (void *)&link_gui;
#if TEST_MODULE_VERSION == 2
  // The second build hashes its objects: the object count folded into the hash.
  if (!strcmp(name, "hash_gameobj_state"))
    return (void *)static_cast<GameObjStateHashFn>(
      [](uint64_t h) -> uint64_t { return (h ^ uint64_t(GameObj_list.size())) * 0x100000001b3ull; });
#endif
  return nullptr;
}

EXPORT void *const *get_gameobj_vtables(int *count)
{
  static void *tables[GAMEOBJ_CLASS_COUNT];
  tables[0] = nullptr;
  tables[1] = table_of<TestA>();
  tables[2] = table_of<TestB>();
  fill_tables(tables, std::make_integer_sequence<int, GAMEOBJ_CLASS_COUNT - 3>());
  *count = TEST_MODULE_CLASS_COUNT;
  return tables;
}
#endif
