#pragma once
// The typed bridge between native code and script VMs. Every VM of the program is
// created and driven through it; the game-object module binds its classes with it too.
#include <cstdint>
#include <cstring>
#include <new>
#include <squirrel.h>
#include <tuple>
#include <type_traits>
#include <utility>
#include "core/engine_api.h"
#include "core/log.h"
#include "core/vec4f.h"
#include "script/sq_budget.h"

namespace sqbind
{

// The one exception type of the binding layer. It never owns its text: messages are
// string literals or a VM's last-error string (valid until that VM raises again).
struct SquirrelError
{
  const char *msg;
  explicit SquirrelError(const char *m) : msg(m) {}
  const char *what() const { return msg; }
};

// Puts the VM's stack top back to a saved height when it goes out of scope, also when a
// SquirrelError leaves the scope.
struct StackRestore
{
  HSQUIRRELVM v;
  SQInteger top;
  StackRestore(HSQUIRRELVM vm, SQInteger saved_top) : v(vm), top(saved_top) {}
  ~StackRestore() { sq_settop(v, top); }
  StackRestore(const StackRestore &) = delete;
  StackRestore &operator=(const StackRestore &) = delete;
};

// One int per bound native type: its address is the script class's type tag and the key
// under which the class is stored in the VM's registry table.
template <typename T>
struct ClassTag
{
  static int uniqueTag;
  static SQUserPointer tag() { return &uniqueTag; }
};
template <typename T>
int ClassTag<T>::uniqueTag = 0;

// A counted handle to any script value. Copying adds a reference in the source's VM;
// destruction releases it. It may hold a weak reference, which push() dereferences.
class ENGINE_API SqObject
{
public:
  HSQOBJECT obj;
  HSQUIRRELVM vm; // holds a reference on obj when not null

  SqObject() : vm(nullptr) { sq_resetobject(&obj); }
  SqObject(const SqObject &o);
  SqObject(SqObject &&o) noexcept;
  SqObject &operator=(const SqObject &o);
  SqObject &operator=(SqObject &&o) noexcept;
  ~SqObject() { reset(); }

  // Takes a new strong reference to the value at stack index idx.
  void fromStack(HSQUIRRELVM v, SQInteger idx);
  // Takes a new strong reference to a raw handle.
  void fromObject(HSQUIRRELVM v, const HSQOBJECT &o);
  // Binds weakly: a weak reference is stored as is, anything else is wrapped in one.
  void weakFromStack(HSQUIRRELVM v, SQInteger idx);
  void weakFromObject(HSQUIRRELVM v, const HSQOBJECT &o);
  void reset();

  // Pushes the value; a weak reference is replaced by the value it refers to.
  void push(HSQUIRRELVM v) const;
  bool isNull() const { return sq_isnull(obj); }
  SQObjectType type() const { return obj._type; }
};

// The VM's last error as text (fallback when it is no string). Leaves the stack as it
// was. The text stays valid until the VM raises again.
ENGINE_API const char *last_error(HSQUIRRELVM vm, const char *fallback = "unknown error");

// --- VM set-up ---
ENGINE_API HSQUIRRELVM create_vm(SQInteger initial_stack);
ENGINE_API void install_error_handlers(HSQUIRRELVM vm);
ENGINE_API void destroy_vm(HSQUIRRELVM vm);
// Compiles with error raising on; on success the closure is left on the stack.
ENGINE_API bool compile_buffer(HSQUIRRELVM vm, const char *text, SQInteger size, const char *source);
ENGINE_API bool compile_file(HSQUIRRELVM vm, const char *path);
// Compiles and calls the file with the root table as `this`.
ENGINE_API bool run_file(HSQUIRRELVM vm, const char *path);

ENGINE_API void print_func(HSQUIRRELVM vm, const SQChar *fmt, ...);
ENGINE_API void compiler_error_handler(HSQUIRRELVM vm, const SQChar *desc, const SQChar *source, SQInteger line,
                                       SQInteger column);
ENGINE_API SQInteger runtime_error_handler(HSQUIRRELVM vm);

// --- typed readers (raise SquirrelError) ---
inline const char *const type_error_text = "sq_get*() failed (type error)";

template <typename T>
struct Arg;

template <>
struct Arg<SQInteger>
{
  static SQInteger get(HSQUIRRELVM vm, SQInteger i)
  {
    SQInteger v;
    if (SQ_FAILED(sq_getinteger(vm, i, &v)))
      throw SquirrelError(type_error_text);
    return v;
  }
};
template <>
struct Arg<int>
{
  static int get(HSQUIRRELVM vm, SQInteger i) { return int(Arg<SQInteger>::get(vm, i)); }
};
template <>
struct Arg<float>
{
  static float get(HSQUIRRELVM vm, SQInteger i)
  {
    SQFloat v;
    if (SQ_FAILED(sq_getfloat(vm, i, &v)))
      throw SquirrelError(type_error_text);
    return v;
  }
};
template <>
struct Arg<bool>
{
  static bool get(HSQUIRRELVM vm, SQInteger i)
  {
    SQBool v;
    if (SQ_FAILED(sq_getbool(vm, i, &v)))
      throw SquirrelError(type_error_text);
    return v != 0;
  }
};
template <>
struct Arg<const char *>
{
  static const char *get(HSQUIRRELVM vm, SQInteger i)
  {
    const SQChar *v;
    if (SQ_FAILED(sq_getstring(vm, i, &v)))
      throw SquirrelError(type_error_text);
    return v;
  }
};
template <>
struct Arg<SqObject>
{
  static SqObject get(HSQUIRRELVM vm, SQInteger i)
  {
    SqObject o;
    HSQOBJECT h;
    if (SQ_FAILED(sq_getstackobj(vm, i, &h)))
      throw SquirrelError(type_error_text);
    o.fromObject(vm, h);
    return o;
  }
};
template <>
struct Arg<const SqObject &> : Arg<SqObject>
{};

// The instance pointer of T at stack index i (T's tag must match, the pointer non-null).
template <typename T>
T *getInst(HSQUIRRELVM vm, SQInteger i)
{
  SQUserPointer p = nullptr;
  if (SQ_FAILED(sq_getinstanceup(vm, i, &p, ClassTag<T>::tag(), SQFalse)) || !p)
    throw SquirrelError("getInst: invalid argument type");
  return (T *)p;
}
// As getInst, but a null script value gives a null pointer.
template <typename T>
T *getInstOpt(HSQUIRRELVM vm, SQInteger i)
{
  if (sq_gettype(vm, i) == OT_NULL)
    return nullptr;
  return getInst<T>(vm, i);
}

// Native objects of bound classes arrive as pointers.
template <typename T>
struct Arg<T *>
{
  static T *get(HSQUIRRELVM vm, SQInteger i) { return getInst<T>(vm, i); }
};

// Reads a slot of an object/the root table/the registry as T.
template <typename T>
T getSlot(HSQUIRRELVM vm, const SqObject &object, const char *name);
template <typename T>
T getGlobal(HSQUIRRELVM vm, const char *name);
ENGINE_API SQUserPointer getReg(HSQUIRRELVM vm, const char *name);
// An element of a script array or table, by integer index, as float.
ENGINE_API float getFloatAt(HSQUIRRELVM vm, const SqObject &container, SQInteger index);

// Pushes the value at the top as looked up by name in the object at stack index idx;
// prints "<what> '%s' failed" and raises the VM's last error when it is missing.
ENGINE_API void get_named(HSQUIRRELVM vm, SQInteger idx, const char *name, const char *what);

template <typename T>
T read_top_and_pop2(HSQUIRRELVM vm)
{
  struct Pop2
  {
    HSQUIRRELVM v;
    ~Pop2() { sq_pop(v, 2); }
  } pop{vm};
  return Arg<T>::get(vm, -1);
}

template <typename T>
T getSlot(HSQUIRRELVM vm, const SqObject &object, const char *name)
{
  object.push(vm);
  get_named(vm, -1, name, "getSlot");
  return read_top_and_pop2<T>(vm);
}

template <typename T>
T getGlobal(HSQUIRRELVM vm, const char *name)
{
  sq_pushroottable(vm);
  get_named(vm, -1, name, "getGlobal");
  if constexpr (std::is_same_v<T, bool>)
  {
    SQBool b = SQFalse;
    sq_tobool(vm, -1, &b);
    sq_pop(vm, 2);
    return b != 0;
  }
  else
    return read_top_and_pop2<T>(vm);
}

// --- pushing results ---
ENGINE_API bool push_instance(HSQUIRRELVM vm, void *object, SQUserPointer tag, const char *class_name,
                              SQRELEASEHOOK hook);
// Called by a native constructor while the new instance is at stack index 1.
ENGINE_API bool init_instance(void *object, HSQUIRRELVM vm, SQRELEASEHOOK hook);

template <typename T>
SQInteger delete_hook(SQUserPointer p, SQInteger)
{
  delete (T *)p;
  return 1;
}

// Class names by tag, recorded by create_class, for results pushed as new instances.
ENGINE_API const char *class_name_of(SQUserPointer tag);

struct SqVec4f;
ENGINE_API void push_vec4f(HSQUIRRELVM vm, vec4f v);

inline void push_value(HSQUIRRELVM vm, int v) { sq_pushinteger(vm, v); }
inline void push_value(HSQUIRRELVM vm, SQInteger v) { sq_pushinteger(vm, v); }
inline void push_value(HSQUIRRELVM vm, float v) { sq_pushfloat(vm, v); }
inline void push_value(HSQUIRRELVM vm, bool v) { sq_pushbool(vm, v); }
inline void push_value(HSQUIRRELVM vm, const char *v) { sq_pushstring(vm, v, -1); }
inline void push_value(HSQUIRRELVM vm, const SqObject &v) { v.push(vm); }
inline void push_value(HSQUIRRELVM vm, vec4f v) { push_vec4f(vm, v); }
// A heap object of a bound class: the VM owns it from here on.
template <typename T>
void push_value(HSQUIRRELVM vm, T *p)
{
  push_instance(vm, p, ClassTag<T>::tag(), class_name_of(ClassTag<T>::tag()), &delete_hook<T>);
}

// --- thunks ---
// Unpacks arguments from stack index 2 upward. Errors raised while binding or calling
// are turned into script errors with the same text, so the VM's state stays consistent.
template <typename... A, size_t... I>
std::tuple<std::decay_t<A>...> read_args(HSQUIRRELVM vm, std::index_sequence<I...>)
{
  return std::tuple<std::decay_t<A>...>(Arg<std::decay_t<A>>::get(vm, SQInteger(2 + I))...);
}

template <typename C, typename R, typename... A>
struct MethodThunk
{
  using Fn = R (C::*)(A...);
  static SQInteger call(HSQUIRRELVM vm)
  {
    try
    {
      SQUserPointer self = nullptr;
      if (SQ_FAILED(sq_getinstanceup(vm, 1, &self, ClassTag<C>::tag(), SQFalse)) || !self)
        return sq_throwerror(vm, "invalid 'this' in C++ method call");
      SQUserPointer ud = nullptr, tt = nullptr;
      if (SQ_FAILED(sq_getuserdata(vm, -1, &ud, &tt)) || !ud)
        return sq_throwerror(vm, "no method stored for C++ call");
      Fn fn;
      memcpy(&fn, ud, sizeof(fn));
      sq_poptop(vm);
      auto args = read_args<A...>(vm, std::index_sequence_for<A...>{});
      if constexpr (std::is_void_v<R>)
      {
        std::apply([&](auto &&...a) { (((C *)self)->*fn)(a...); }, args);
        return 0;
      }
      else
      {
        R r = std::apply([&](auto &&...a) { return (((C *)self)->*fn)(a...); }, args);
        push_value(vm, r);
        return 1;
      }
    }
    catch (const SquirrelError &e)
    {
      return sq_throwerror(vm, e.msg);
    }
  }
};

template <typename R, typename... A>
struct FuncThunk
{
  using Fn = R (*)(A...);
  static SQInteger call(HSQUIRRELVM vm)
  {
    try
    {
      SQUserPointer up = nullptr;
      if (SQ_FAILED(sq_getuserpointer(vm, -1, &up)) || !up)
        return sq_throwerror(vm, "no function stored for C++ call");
      Fn fn = (Fn)up;
      sq_poptop(vm);
      auto args = read_args<A...>(vm, std::index_sequence_for<A...>{});
      if constexpr (std::is_void_v<R>)
      {
        std::apply(fn, args);
        return 0;
      }
      else
      {
        R r = std::apply(fn, args);
        push_value(vm, r);
        return 1;
      }
    }
    catch (const SquirrelError &e)
    {
      return sq_throwerror(vm, e.msg);
    }
  }
};

// A raw native function that reads its own arguments (variadic script functions).
using RawFn = SQInteger (*)(HSQUIRRELVM vm);
struct RawThunk
{
  static SQInteger call(HSQUIRRELVM vm)
  {
    try
    {
      SQUserPointer up = nullptr;
      if (SQ_FAILED(sq_getuserpointer(vm, -1, &up)) || !up)
        return sq_throwerror(vm, "no function stored for C++ call");
      sq_poptop(vm);
      return ((RawFn)up)(vm);
    }
    catch (const SquirrelError &e)
    {
      return sq_throwerror(vm, e.msg);
    }
  }
};

// Constructor: the function gets the VM (instance at index 1, arguments from 2), creates
// the native object and calls init_instance.
using CtorFn = void (*)(HSQUIRRELVM vm);
ENGINE_API SQInteger ctor_thunk(HSQUIRRELVM vm);

// --- class binding ---
// One class during registration: the VM, the names and the class object.
struct ENGINE_API SqClassDef
{
  HSQUIRRELVM vm;
  const char *name;
  const char *base;
  SqObject cls;

  void addNative(const char *member, SQFUNCTION thunk, const void *payload, size_t payload_size, bool as_userdata,
                 bool is_static = false);

  template <typename C, typename R, typename... A>
  SqClassDef &method(const char *member, R (C::*fn)(A...))
  {
    addNative(member, &MethodThunk<C, R, A...>::call, &fn, sizeof(fn), true);
    return *this;
  }
  template <typename C, typename R, typename... A>
  SqClassDef &method(const char *member, R (C::*fn)(A...) const)
  {
    using NonConst = R (C::*)(A...);
    NonConst nc = reinterpret_cast<NonConst>(fn);
    addNative(member, &MethodThunk<C, R, A...>::call, &nc, sizeof(nc), true);
    return *this;
  }
  template <typename R, typename... A>
  SqClassDef &staticFunc(const char *member, R (*fn)(A...))
  {
    addNative(member, &FuncThunk<R, A...>::call, (const void *)fn, 0, false, true);
    return *this;
  }
  // A raw native method reading its own arguments; `this` is at index 1.
  SqClassDef &rawMethod(const char *member, RawFn fn)
  {
    addNative(member, &RawThunk::call, (const void *)fn, 0, false);
    return *this;
  }
  SqClassDef &ctor(CtorFn fn)
  {
    addNative("constructor", &ctor_thunk, (const void *)fn, 0, false);
    return *this;
  }
};

// Creates (or, for a reloaded script, reuses) the class `name` in the root table and the
// registry, tagged with tag. Registration failures are fatal.
ENGINE_API SqClassDef create_class(HSQUIRRELVM vm, const char *name, const char *base, SQUserPointer tag);

// Global functions and constants.
ENGINE_API void add_native_global(HSQUIRRELVM vm, const char *name, SQFUNCTION thunk, const void *fn);
template <typename R, typename... A>
void add_global(HSQUIRRELVM vm, const char *name, R (*fn)(A...))
{
  add_native_global(vm, name, &FuncThunk<R, A...>::call, (const void *)fn);
}
inline void add_raw_global(HSQUIRRELVM vm, const char *name, RawFn fn)
{
  add_native_global(vm, name, &RawThunk::call, (const void *)fn);
}
ENGINE_API void add_const(HSQUIRRELVM vm, const char *name, SQInteger value);

// --- script functions called from native code ---
template <typename R>
class SqFunc
{
public:
  HSQUIRRELVM vm = nullptr;
  SqObject env;  // weak reference to the object that becomes `this`
  SqObject func; // strong reference to the closure

  // Looks name up in the environment object; a missing name leaves the function null.
  void bind(HSQUIRRELVM v, const SqObject &environment, const char *name)
  {
    release();
    vm = v;
    environment.push(v);
    env.weakFromStack(v, -1);
    sq_pushstring(v, name, -1);
    if (SQ_SUCCEEDED(sq_get(v, -2)))
    {
      func.fromStack(v, -1);
      sq_pop(v, 2);
    }
    else
      sq_poptop(v);
  }
  // A closure passed as an argument; `this` is the root table.
  void bind(HSQUIRRELVM v, const SqObject &closure)
  {
    release();
    vm = v;
    sq_pushroottable(v);
    env.weakFromStack(v, -1);
    sq_poptop(v);
    func = closure;
  }
  void release()
  {
    env.reset();
    func.reset();
    vm = nullptr;
  }
  bool isNull() const
  {
    if (!vm || func.isNull() || env.isNull())
      return true;
    if (env.type() == OT_WEAKREF)
    {
      SQInteger top = sq_gettop(vm);
      sq_pushobject(vm, env.obj);
      bool gone = SQ_FAILED(sq_getweakrefval(vm, -1)) || sq_gettype(vm, -1) == OT_NULL;
      sq_settop(vm, top);
      return gone;
    }
    return false;
  }

  template <typename... A>
  R operator()(const A &...args) const
  {
    SQInteger top = sq_gettop(vm);
    sq_pushobject(vm, func.obj);
    if (env.type() != OT_WEAKREF)
    {
      sq_settop(vm, top);
      throw SquirrelError("SqFunc: can't deref weakptr to object");
    }
    sq_pushobject(vm, env.obj);
    if (SQ_FAILED(sq_getweakrefval(vm, -1)))
    {
      sq_settop(vm, top);
      throw SquirrelError("SqFunc: can't deref weakptr to object");
    }
    sq_remove(vm, -2);
    (push_value(vm, args), ...);
    if (SQ_FAILED(budgeted_call(vm, SQInteger(1 + sizeof...(A)), SQTrue)))
    {
      // The error handler has printed it; the caller gets the VM's own text.
      sq_settop(vm, top);
      throw SquirrelError(last_error(vm, "SqFunc<> call failed"));
    }
    if constexpr (std::is_void_v<R>)
    {
      sq_settop(vm, top);
    }
    else if constexpr (std::is_same_v<R, bool>)
    {
      SQBool b = SQFalse;
      sq_tobool(vm, -1, &b);
      sq_settop(vm, top);
      return b != 0;
    }
    else
    {
      StackRestore restore(vm, top);
      return Arg<R>::get(vm, -1);
    }
  }
};

// --- the "vec4f" script class ---
struct SqVec4f : vec4f
{
  SqVec4f() : vec4f(0.f) {}
  SqVec4f(const vec4f &v) : vec4f(v) {}
};
// Reads four floats: a number (all four components), an array of four numbers, or a
// "vec4f" instance; anything else raises "getInst: invalid argument type".
ENGINE_API vec4f read_vec4(HSQUIRRELVM vm, SQInteger idx);
// A script colour value: as read_vec4, except that an integer is a packed 0xAARRGGBB
// colour.
ENGINE_API vec4f read_color(HSQUIRRELVM vm, SQInteger idx);

ENGINE_API void bind_vec4f(HSQUIRRELVM vm);

} // namespace sqbind

extern template struct sqbind::ClassTag<sqbind::SqVec4f>;
