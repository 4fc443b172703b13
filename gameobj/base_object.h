#pragma once
#include <cstdint>
#include "core/dyn_array.h"
#include "core/engine_api.h"

// The root class of GUI elements and game objects. The game-object module derives its
// classes from it; the program keeps raw pointers to those objects in its exported lists,
// so the layout below is a binary contract with the module (checked at the end).
class ENGINE_API BaseObject
{
public:
  // The state word: 0 alive, 1 destroyed. The game-object host borrows the value 2 as a
  // "re-pointed already" mark while it reloads the module and clears it again.
  enum : uint32_t
  {
    STATE_DESTROYED = 1,
    STATE_HOST_MARK = 2
  };
  uint32_t state = 0;

  BaseObject() = default;
  BaseObject(const BaseObject &) = delete;
  BaseObject &operator=(const BaseObject &) = delete;

  virtual ~BaseObject();
  // Deferred destruction: the first call marks the object destroyed, queues it in
  // deleted_gameobjs and calls onDestroy; later calls do nothing.
  virtual void destroy();
  virtual void onDestroy();
  // A class-specific query; the base answers 0.
  virtual int query(int what);
  virtual const char *getClassName() const;

  bool isDestroyed() const { return (state & STATE_DESTROYED) != 0; }
};

// Objects that were destroyed and wait for their owner (the module) to delete them. The
// program appends to it (BaseObject::destroy) but never empties it.
extern ENGINE_API DynArray<BaseObject *> deleted_gameobjs;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(BaseObject) == 16, "BaseObject is shared with the game-object module");
static_assert(offsetof(BaseObject, state) == sizeof(void *), "the dispatch table comes first, then the state word");
#pragma GCC diagnostic pop
