#include "base_object.h"

DynArray<BaseObject *> deleted_gameobjs;

BaseObject::~BaseObject() = default;

void BaseObject::destroy()
{
  if (state != 0)
    return;
  state = STATE_DESTROYED;
  deleted_gameobjs.push(this);
  onDestroy();
}

void BaseObject::onDestroy() {}

int BaseObject::query(int) { return 0; }

const char *BaseObject::getClassName() const { return "BaseObject"; }
