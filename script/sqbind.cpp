#include "sqbind.h"
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <immintrin.h>
#include <sys/stat.h>
#include "core/paths.h"
#include "core/ramp.h"

template struct sqbind::ClassTag<sqbind::SqVec4f>;

namespace sqbind
{

// --- SqObject ---

SqObject::SqObject(const SqObject &o) : obj(o.obj), vm(o.vm)
{
  if (vm)
    sq_addref(vm, &obj);
}

SqObject::SqObject(SqObject &&o) noexcept : obj(o.obj), vm(o.vm)
{
  o.vm = nullptr;
  sq_resetobject(&o.obj);
}

SqObject &SqObject::operator=(const SqObject &o)
{
  if (this != &o)
  {
    reset();
    obj = o.obj;
    vm = o.vm;
    if (vm)
      sq_addref(vm, &obj);
  }
  return *this;
}

SqObject &SqObject::operator=(SqObject &&o) noexcept
{
  if (this != &o)
  {
    reset();
    obj = o.obj;
    vm = o.vm;
    o.vm = nullptr;
    sq_resetobject(&o.obj);
  }
  return *this;
}

void SqObject::reset()
{
  if (vm)
    sq_release(vm, &obj);
  sq_resetobject(&obj);
  vm = nullptr;
}

void SqObject::fromObject(HSQUIRRELVM v, const HSQOBJECT &o)
{
  HSQOBJECT copy = o;
  sq_addref(v, &copy); // before releasing: o may be the value we hold
  reset();
  obj = copy;
  vm = v;
}

void SqObject::fromStack(HSQUIRRELVM v, SQInteger idx)
{
  HSQOBJECT h;
  sq_resetobject(&h);
  sq_getstackobj(v, idx, &h);
  fromObject(v, h);
}

void SqObject::weakFromStack(HSQUIRRELVM v, SQInteger idx)
{
  if (sq_gettype(v, idx) == OT_WEAKREF)
  {
    fromStack(v, idx);
    return;
  }
  sq_weakref(v, idx);
  fromStack(v, -1);
  sq_poptop(v);
}

void SqObject::weakFromObject(HSQUIRRELVM v, const HSQOBJECT &o)
{
  sq_pushobject(v, o);
  weakFromStack(v, -1);
  sq_poptop(v);
}

void SqObject::push(HSQUIRRELVM v) const
{
  sq_pushobject(v, obj);
  if (sq_isweakref(obj) && SQ_SUCCEEDED(sq_getweakrefval(v, -1)))
    sq_remove(v, -2);
}

const char *last_error(HSQUIRRELVM vm, const char *fallback)
{
  sq_getlasterror(vm);
  const SQChar *s = nullptr;
  if (SQ_FAILED(sq_getstring(vm, -1, &s)))
    s = nullptr;
  sq_poptop(vm);
  // The string stays alive: the VM keeps it as its last error.
  return s ? s : fallback;
}

// --- VM set-up and handlers ---

void print_func(HSQUIRRELVM, const SQChar *fmt, ...)
{
  va_list ap;
  va_start(ap, fmt);
  vfprintf(stdout, fmt, ap);
  va_end(ap);
  fflush(stdout);
}

void compiler_error_handler(HSQUIRRELVM vm, const SQChar *desc, const SQChar *source, SQInteger line, SQInteger column)
{
  SQPRINTFUNCTION pf = sq_geterrorfunc(vm);
  if (!pf)
    pf = print_func;
  char text[1024];
  snprintf(text, sizeof(text), "bin/%s(%d,%d): error: %s", source ? source : "unknown", int(line), int(column),
           desc ? desc : "");
  pf(vm, "%s\n", text);
  // The VM's last error becomes the same line: whoever shows it names the file and line.
  sq_throwerror(vm, text);
}

static void print_local(HSQUIRRELVM vm, SQPRINTFUNCTION pf, const char *name)
{
  switch (sq_gettype(vm, -1))
  {
  case OT_NULL: pf(vm, "[%s] NULL\n", name); break;
  case OT_INTEGER:
  {
    SQInteger i = 0;
    sq_getinteger(vm, -1, &i);
    pf(vm, "[%s] %d\n", name, int(i));
    break;
  }
  case OT_FLOAT:
  {
    SQFloat f = 0;
    sq_getfloat(vm, -1, &f);
    pf(vm, "[%s] %.14g\n", name, double(f));
    break;
  }
  case OT_BOOL:
  {
    SQBool b = SQFalse;
    sq_getbool(vm, -1, &b);
    pf(vm, "[%s] %s\n", name, b ? "true" : "false");
    break;
  }
  case OT_STRING:
  {
    const SQChar *s = "";
    sq_getstring(vm, -1, &s);
    pf(vm, "[%s] \"%s\"\n", name, s);
    break;
  }
  case OT_USERPOINTER: pf(vm, "[%s] USERPOINTER\n", name); break;
  case OT_TABLE: pf(vm, "[%s] TABLE\n", name); break;
  case OT_ARRAY: pf(vm, "[%s] ARRAY\n", name); break;
  case OT_CLOSURE: pf(vm, "[%s] CLOSURE\n", name); break;
  case OT_NATIVECLOSURE: pf(vm, "[%s] NATIVECLOSURE\n", name); break;
  case OT_GENERATOR: pf(vm, "[%s] GENERATOR\n", name); break;
  case OT_USERDATA: pf(vm, "[%s] USERDATA\n", name); break;
  case OT_THREAD: pf(vm, "[%s] THREAD\n", name); break;
  case OT_CLASS: pf(vm, "[%s] CLASS\n", name); break;
  case OT_INSTANCE: pf(vm, "[%s] INSTANCE\n", name); break;
  case OT_WEAKREF: pf(vm, "[%s] WEAKREF\n", name); break;
  default: pf(vm, "[%s] OBJECT\n", name); break;
  }
}

SQInteger runtime_error_handler(HSQUIRRELVM vm)
{
  SQPRINTFUNCTION pf = sq_geterrorfunc(vm);
  if (!pf || sq_gettop(vm) < 2)
    return 0;
  const SQChar *err = nullptr;
  if (SQ_FAILED(sq_getstring(vm, 2, &err)))
    err = "unknown";

  pf(vm, "\nCALLSTACK\n");
  SQStackInfos si;
  for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(vm, level, &si)); level++)
  {
    const char *src = si.source ? si.source : "unknown";
    const char *fn = si.funcname ? si.funcname : "unknown";
    if (level == 1)
      pf(vm, "bin/%s(%d): ERROR: %s (in %s())\n", src, int(si.line), err, fn);
    else
      pf(vm, "bin/%s(%d): function %s() (CALLSTACK)\n", src, int(si.line), fn);
  }

  pf(vm, "\nLOCALS\n");
  for (SQUnsignedInteger level = 0; level < 20; level++)
    for (SQUnsignedInteger seq = 0;; seq++)
    {
      const SQChar *name = sq_getlocal(vm, level, seq);
      if (!name)
        break;
      print_local(vm, pf, name);
      sq_poptop(vm);
    }
  return 0;
}

void install_error_handlers(HSQUIRRELVM vm)
{
  sq_setcompilererrorhandler(vm, compiler_error_handler);
  sq_newclosure(vm, runtime_error_handler, 0);
  sq_seterrorhandler(vm);
}

HSQUIRRELVM create_vm(SQInteger initial_stack)
{
  HSQUIRRELVM vm = sq_open(initial_stack);
  if (!vm)
    return nullptr;
  sq_setprintfunc(vm, print_func, print_func);
  install_error_handlers(vm);
  return vm;
}

void destroy_vm(HSQUIRRELVM vm)
{
  if (!vm)
    return;
  sq_collectgarbage(vm);
  sq_close(vm);
}

bool compile_buffer(HSQUIRRELVM vm, const char *text, SQInteger size, const char *source)
{
  return SQ_SUCCEEDED(sq_compilebuffer(vm, text, size, source, SQTrue));
}

// The name a file's messages use: relative to the program directory where it lies
// inside it, so they read "bin/gen/main.nut(12,3): ..." like the paths a modder edits.
static const char *source_name(const char *path)
{
  size_t n = strlen(app_path);
  if (n && strncmp(path, app_path, n) == 0 && path[n])
    return path + n;
  return path;
}

bool compile_file(HSQUIRRELVM vm, const char *path)
{
  // Every failure leaves its own error: without one the caller would show whatever
  // error the VM raised before.
  char msg[400];
  auto fail = [&](const char *why) {
    snprintf(msg, sizeof(msg), "can't %s '%s'", why, source_name(path));
    debug("%s", msg);
    sq_throwerror(vm, msg);
    return false;
  };
  FILE *f = fopen(path, "rb");
  if (!f)
    return fail("open");
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode))
  {
    fclose(f);
    return fail("read (not a file)");
  }
  char *buf = (char *)malloc(size_t(st.st_size) + 1);
  size_t got = buf ? fread(buf, 1, size_t(st.st_size), f) : 0;
  fclose(f);
  if (!buf || got != size_t(st.st_size))
  {
    free(buf);
    return fail("read");
  }
  bool ok = compile_buffer(vm, buf, SQInteger(st.st_size), source_name(path));
  free(buf);
  return ok;
}

bool run_file(HSQUIRRELVM vm, const char *path)
{
  SQInteger top = sq_gettop(vm);
  if (!compile_file(vm, path))
  {
    sq_settop(vm, top);
    return false;
  }
  sq_pushroottable(vm);
  bool ok = SQ_SUCCEEDED(budgeted_call(vm, 1, SQFalse, script_budgets.world));
  sq_settop(vm, top);
  return ok;
}

// --- readers ---

void get_named(HSQUIRRELVM vm, SQInteger idx, const char *name, const char *what)
{
  sq_pushstring(vm, name, -1);
  if (SQ_FAILED(sq_get(vm, idx < 0 ? idx - 1 : idx)))
  {
    sq_poptop(vm); // the object; sq_get popped the key
    debug("%s '%s' failed", what, name);
    throw SquirrelError(last_error(vm));
  }
}

SQUserPointer getReg(HSQUIRRELVM vm, const char *name)
{
  sq_pushregistrytable(vm);
  get_named(vm, -1, name, "getReg");
  SQUserPointer p = nullptr;
  bool ok = SQ_SUCCEEDED(sq_getuserpointer(vm, -1, &p));
  sq_pop(vm, 2);
  if (!ok)
    throw SquirrelError(type_error_text);
  return p;
}

float getFloatAt(HSQUIRRELVM vm, const SqObject &container, SQInteger index)
{
  container.push(vm);
  sq_pushinteger(vm, index);
  if (SQ_FAILED(sq_get(vm, -2)))
  {
    sq_poptop(vm);
    throw SquirrelError(last_error(vm));
  }
  SQFloat f;
  bool ok = SQ_SUCCEEDED(sq_getfloat(vm, -1, &f));
  sq_pop(vm, 2);
  if (!ok)
    throw SquirrelError(type_error_text);
  return f;
}

// --- instances ---

static constexpr int max_class_names = 128;
static struct
{
  SQUserPointer tag;
  char name[64];
} class_names[max_class_names];
static int class_name_count = 0;

static void remember_class_name(SQUserPointer tag, const char *name)
{
  for (int i = 0; i < class_name_count; i++)
    if (class_names[i].tag == tag)
      return;
  ASSERT(class_name_count < max_class_names);
  class_names[class_name_count].tag = tag;
  snprintf(class_names[class_name_count].name, sizeof(class_names[0].name), "%s", name);
  class_name_count++;
}

const char *class_name_of(SQUserPointer tag)
{
  for (int i = 0; i < class_name_count; i++)
    if (class_names[i].tag == tag)
      return class_names[i].name;
  return "unknown class";
}

bool init_instance(void *object, HSQUIRRELVM vm, SQRELEASEHOOK hook)
{
  if (SQ_FAILED(sq_setinstanceup(vm, 1, object)))
  {
    sq_poptop(vm);
    debug("failed to init scripted object %p", object);
    throw SquirrelError("can't set scripted instance user pointer");
  }
  if (hook)
    sq_setreleasehook(vm, 1, hook);
  return true;
}

bool push_instance(HSQUIRRELVM vm, void *object, SQUserPointer tag, const char *class_name, SQRELEASEHOOK hook)
{
  if (!object)
  {
    sq_pushnull(vm);
    return true;
  }
  SQInteger top = sq_gettop(vm);
  const char *failure = nullptr;
  sq_pushregistrytable(vm);
  sq_pushuserpointer(vm, tag);
  if (SQ_FAILED(sq_get(vm, -2)))
    failure = "can't get script class";
  else
  {
    sq_remove(vm, -2);
    if (SQ_FAILED(sq_createinstance(vm, -1)))
      failure = "can't create script instance";
    else
    {
      sq_remove(vm, -2);
      if (SQ_FAILED(sq_setinstanceup(vm, -1, object)))
        failure = "can't set instance user pointer";
      else if (hook)
        sq_setreleasehook(vm, -1, hook);
    }
  }
  if (failure)
  {
    sq_settop(vm, top);
    debug("failed to create %s", class_name);
    throw SquirrelError(failure);
  }
  return true;
}

SQInteger ctor_thunk(HSQUIRRELVM vm)
{
  try
  {
    SQUserPointer up = nullptr;
    if (SQ_FAILED(sq_getuserpointer(vm, -1, &up)) || !up)
      return sq_throwerror(vm, "no function stored for C++ ctor call");
    sq_poptop(vm);
    ((CtorFn)up)(vm);
    SQUserPointer ptr = nullptr;
    sq_getinstanceup(vm, 1, &ptr, nullptr, SQFalse);
    ASSERT(ptr);
    return 0;
  }
  catch (const SquirrelError &e)
  {
    return sq_throwerror(vm, e.msg);
  }
}

// --- classes ---

SqClassDef create_class(HSQUIRRELVM vm, const char *name, const char *base, SQUserPointer tag)
{
  SqClassDef def;
  def.vm = vm;
  def.name = name;
  def.base = base;
  SQInteger top = sq_gettop(vm);

  sq_pushroottable(vm);
  sq_pushstring(vm, name, -1);
  sq_pushstring(vm, name, -1);
  if (SQ_SUCCEEDED(sq_get(vm, -3)) && sq_gettype(vm, -1) == OT_CLASS)
  {
    // A reloaded script: keep the class, set the tag again.
    def.cls.fromStack(vm, -1);
    sq_settypetag(vm, -1, tag);
    remember_class_name(tag, name);
    sq_settop(vm, top);
    return def;
  }
  sq_settop(vm, top + 2); // root, name
  bool has_base = false;
  if (base)
  {
    sq_pushroottable(vm);
    sq_pushstring(vm, base, -1);
    if (SQ_FAILED(sq_get(vm, -2)))
      fatal("no base class '%s' bound for '%s'", base, name);
    sq_remove(vm, -2);
    has_base = true;
  }
  if (SQ_FAILED(sq_newclass(vm, has_base)))
    fatal("can't create class '%s'", name);
  def.cls.fromStack(vm, -1);
  if (SQ_FAILED(sq_settypetag(vm, -1, tag)))
    fatal("can't set type tag for class '%s'", name);
  if (SQ_FAILED(sq_newslot(vm, -3, SQFalse)))
    fatal("can't register class '%s' in root table", name);
  sq_pushregistrytable(vm);
  sq_pushuserpointer(vm, tag);
  def.cls.push(vm);
  if (SQ_FAILED(sq_newslot(vm, -3, SQFalse)))
    fatal("can't register class '%s' in registry table", name);
  remember_class_name(tag, name);
  sq_settop(vm, top);
  return def;
}

void SqClassDef::addNative(const char *member, SQFUNCTION thunk, const void *payload, size_t payload_size,
                           bool as_userdata, bool is_static)
{
  cls.push(vm);
  sq_pushstring(vm, member, -1);
  if (as_userdata)
  {
    SQUserPointer ud = sq_newuserdata(vm, SQUnsignedInteger(payload_size));
    ASSERT(ud);
    memcpy(ud, payload, payload_size);
  }
  else
    sq_pushuserpointer(vm, (SQUserPointer)payload);
  sq_newclosure(vm, thunk, 1);
  sq_setnativeclosurename(vm, -1, member);
  SQRESULT res = sq_newslot(vm, -3, is_static ? SQTrue : SQFalse);
  ASSERT(SQ_SUCCEEDED(res));
  sq_poptop(vm);
}

void add_native_global(HSQUIRRELVM vm, const char *name, SQFUNCTION thunk, const void *fn)
{
  sq_pushroottable(vm);
  sq_pushstring(vm, name, -1);
  sq_pushuserpointer(vm, (SQUserPointer)fn);
  sq_newclosure(vm, thunk, 1);
  sq_setnativeclosurename(vm, -1, name);
  sq_newslot(vm, -3, SQFalse);
  sq_poptop(vm);
}

void add_const(HSQUIRRELVM vm, const char *name, SQInteger value)
{
  sq_pushconsttable(vm);
  sq_pushstring(vm, name, -1);
  sq_pushinteger(vm, value);
  sq_newslot(vm, -3, SQFalse);
  sq_poptop(vm);
}

// --- vec4f ---

static vec4f read_four(HSQUIRRELVM vm, SQInteger idx, bool int_is_color)
{
  SQObjectType t = sq_gettype(vm, idx);
  if (t == OT_INTEGER && int_is_color)
  {
    SQInteger i = 0;
    sq_getinteger(vm, idx, &i);
    return ramp_color_to_vec4f(D3dColor(uint32_t(i)));
  }
  if (t == OT_INTEGER || t == OT_FLOAT)
  {
    SQFloat f = 0;
    sq_getfloat(vm, idx, &f);
    return vec4f(f);
  }
  if (t == OT_ARRAY)
  {
    SqObject arr;
    arr.fromStack(vm, idx);
    return vec4f(getFloatAt(vm, arr, 0), getFloatAt(vm, arr, 1), getFloatAt(vm, arr, 2), getFloatAt(vm, arr, 3));
  }
  return *getInst<SqVec4f>(vm, idx);
}

vec4f read_vec4(HSQUIRRELVM vm, SQInteger idx) { return read_four(vm, idx, false); }
vec4f read_color(HSQUIRRELVM vm, SQInteger idx) { return read_four(vm, idx, true); }

void push_vec4f(HSQUIRRELVM vm, vec4f v)
{
  push_instance(vm, new SqVec4f(v), ClassTag<SqVec4f>::tag(), "vec4f", &delete_hook<SqVec4f>);
}

// Builds (x, x, x, x) unless exactly four numbers follow index `first`.
static vec4f make_from_args(HSQUIRRELVM vm, SQInteger first)
{
  SQInteger n = sq_gettop(vm) - first + 1;
  if (n == 4)
    return vec4f(Arg<float>::get(vm, first), Arg<float>::get(vm, first + 1), Arg<float>::get(vm, first + 2),
                 Arg<float>::get(vm, first + 3));
  return vec4f(Arg<float>::get(vm, first));
}

static void vec4f_ctor(HSQUIRRELVM vm)
{
  vec4f v = sq_gettop(vm) >= 2 ? make_from_args(vm, 2) : vec4f(0.f);
  SqVec4f *p = new SqVec4f(v);
  ASSERT(p);
  try
  {
    init_instance(p, vm, &delete_hook<SqVec4f>);
  }
  catch (...)
  {
    delete p;
    throw;
  }
}

static int vec_index(HSQUIRRELVM vm, SQInteger idx)
{
  if (sq_gettype(vm, idx) != OT_INTEGER)
    throw SquirrelError("vec4f index out of range");
  SQInteger i = 0;
  sq_getinteger(vm, idx, &i);
  if (i < 0 || i > 3)
    throw SquirrelError("vec4f index out of range");
  return int(i);
}

static SQInteger vec4f_get(HSQUIRRELVM vm)
{
  SqVec4f *v = getInst<SqVec4f>(vm, 1);
  sq_pushfloat(vm, (*v)[vec_index(vm, 2)]);
  return 1;
}

static SQInteger vec4f_set(HSQUIRRELVM vm)
{
  SqVec4f *v = getInst<SqVec4f>(vm, 1);
  int i = vec_index(vm, 2);
  (*v)[i] = Arg<float>::get(vm, 3);
  return 0;
}

template <int Op>
static SQInteger vec4f_arith(HSQUIRRELVM vm)
{
  vec4f a = *getInst<SqVec4f>(vm, 1);
  vec4f b = read_vec4(vm, 2);
  vec4f r = Op == 0 ? a + b : Op == 1 ? a - b : Op == 2 ? a * b : a / b;
  push_vec4f(vm, r);
  return 1;
}

static SQInteger vec4f_unm(HSQUIRRELVM vm)
{
  push_vec4f(vm, -*getInst<SqVec4f>(vm, 1));
  return 1;
}

static SQInteger vec4f_tostring(HSQUIRRELVM vm)
{
  vec4f v = *getInst<SqVec4f>(vm, 1);
  char buf[128];
  snprintf(buf, sizeof(buf), "(%g, %g, %g, %g)", double(v.x), double(v.y), double(v.z), double(v.w));
  sq_pushstring(vm, buf, -1);
  return 1;
}

static SQInteger g_make4f(HSQUIRRELVM vm)
{
  push_vec4f(vm, make_from_args(vm, 2));
  return 1;
}

static vec4f vec_arg(HSQUIRRELVM vm, SQInteger i) { return *getInst<SqVec4f>(vm, i); }

static SQInteger g_dot3(HSQUIRRELVM vm)
{
  vec4f a = vec_arg(vm, 2), b = vec_arg(vm, 3);
  push_vec4f(vm, vec4f(a.x * b.x + a.y * b.y + a.z * b.z));
  return 1;
}

static SQInteger g_cross(HSQUIRRELVM vm)
{
  push_vec4f(vm, cross3(vec_arg(vm, 2), vec_arg(vm, 3)));
  return 1;
}

static SQInteger g_len3sq(HSQUIRRELVM vm)
{
  vec4f v = vec_arg(vm, 2);
  push_vec4f(vm, vec4f(v.x * v.x + v.y * v.y + v.z * v.z));
  return 1;
}

static SQInteger g_len3(HSQUIRRELVM vm)
{
  vec4f v = vec_arg(vm, 2);
  push_vec4f(vm, vec4f(sqrtf(v.x * v.x + v.y * v.y + v.z * v.z)));
  return 1;
}

static SQInteger g_norm3(HSQUIRRELVM vm)
{
  vec4f v = vec_arg(vm, 2);
  float l = sqrtf(v.x * v.x + v.y * v.y + v.z * v.z);
  push_vec4f(vm, l > 0.f ? v / l : vec4f(0.f));
  return 1;
}

static SQInteger g_norm3a(HSQUIRRELVM vm)
{
  vec4f v = vec_arg(vm, 2);
  float r = _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(v.x * v.x + v.y * v.y + v.z * v.z)));
  push_vec4f(vm, v * r);
  return 1;
}

template <int C>
static SQInteger g_getc(HSQUIRRELVM vm)
{
  sq_pushfloat(vm, vec_arg(vm, 2)[C]);
  return 1;
}

void bind_vec4f(HSQUIRRELVM vm)
{
  SqClassDef def = create_class(vm, "vec4f", nullptr, ClassTag<SqVec4f>::tag());
  def.ctor(vec4f_ctor)
    .rawMethod("_get", vec4f_get)
    .rawMethod("_set", vec4f_set)
    .rawMethod("_add", vec4f_arith<0>)
    .rawMethod("_sub", vec4f_arith<1>)
    .rawMethod("_mul", vec4f_arith<2>)
    .rawMethod("_div", vec4f_arith<3>)
    .rawMethod("_unm", vec4f_unm)
    .rawMethod("_tostring", vec4f_tostring);
  add_raw_global(vm, "make4f", g_make4f);
  add_raw_global(vm, "dot3", g_dot3);
  add_raw_global(vm, "cross", g_cross);
  add_raw_global(vm, "len3Sq", g_len3sq);
  add_raw_global(vm, "len3", g_len3);
  add_raw_global(vm, "norm3", g_norm3);
  add_raw_global(vm, "norm3a", g_norm3a);
  add_raw_global(vm, "getx", g_getc<0>);
  add_raw_global(vm, "gety", g_getc<1>);
  add_raw_global(vm, "getz", g_getc<2>);
}

} // namespace sqbind
