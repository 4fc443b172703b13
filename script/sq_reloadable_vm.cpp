#include "sq_reloadable_vm.h"
#include <sqstdmath.h>
#include <sqstdstring.h>
#include <strings.h>
#include "core/log.h"
#include "core/paths.h"
#include "sqbind.h"

using namespace sqbind;

SqReloadableVM::~SqReloadableVM() { close(); }

SqReloadableVM *get_reloadable_vm(HSQUIRRELVM vm)
{
  SQInteger top = sq_gettop(vm);
  sq_pushregistrytable(vm);
  sq_pushstring(vm, "SqReloadableVM", -1);
  SQUserPointer p = nullptr;
  if (SQ_SUCCEEDED(sq_rawget(vm, -2)))
    sq_getuserpointer(vm, -1, &p);
  sq_settop(vm, top);
  return (SqReloadableVM *)p;
}

bool SqReloadableVM::init(SQInteger initial_stack)
{
  vm = create_vm(initial_stack);
  if (!vm)
    return false;
  sq_pushregistrytable(vm);
  sq_pushstring(vm, "SqReloadableVM", -1);
  sq_pushuserpointer(vm, this);
  sq_newslot(vm, -3, SQFalse);
  sq_poptop(vm);
  return bind_functions();
}

void SqReloadableVM::close()
{
  if (vm)
  {
    destroy_vm(vm);
    vm = nullptr;
  }
}

bool SqReloadableVM::load_file(const char *path)
{
  if (strlen(path) >= 260)
  {
    sq_throwerror(vm, "include: path too long");
    return false;
  }
  TempString<260> full = make_full_path(path);
  if (strlen(full) >= 259)
  {
    // The full name would be cut, and a cut name may run some other file.
    sq_throwerror(vm, "include: path too long");
    return false;
  }
  for (const FileRecord &r : files)
    if (!strcasecmp(r.path, full))
      return true;
  FileRecord rec;
  rec.path = full;
  rec.mtime = get_file_time(full);
  files.push(rec);
  return run_file(vm, full);
}

bool SqReloadableVM::files_changed()
{
  for (const FileRecord &r : files)
    if (get_file_time(r.path) != r.mtime)
      return true;
  return false;
}

bool SqReloadableVM::run_files(bool force)
{
  // The count is read on each step: files included while running are visited too.
  for (int i = 0; i < files.size(); i++)
  {
    int64_t t = get_file_time(files[i].path);
    if (force || t != files[i].mtime)
    {
      files[i].mtime = t;
      TempString<260> path = files[i].path; // the list may grow while the file runs
      if (!run_file(vm, path))
        return false;
    }
  }
  return true;
}

bool SqReloadableVM::reload(bool force) { return run_files(force); }

// include(path): runs the file once in this VM. A file that cannot be read, or fails to
// compile or run, is an error of the including script that names the file.
static SQInteger include_handler(HSQUIRRELVM vm)
{
  const char *path = nullptr;
  if (sq_gettop(vm) < 2 || SQ_FAILED(sq_getstring(vm, 2, &path)))
    return sq_throwerror(vm, "include: the path must be a string");
  SqReloadableVM *rvm = get_reloadable_vm(vm);
  if (!rvm)
    return sq_throwerror(vm, "include: not available in this VM");
  if (strlen(path) >= 260)
    return sq_throwerror(vm, "include: path too long");
  if (rvm->load_file(path))
    return 0;
  char msg[1024];
  snprintf(msg, sizeof(msg), "include '%s': %s", path, last_error(vm));
  return sq_throwerror(vm, msg);
}

bool SqReloadableVM::bind_functions()
{
  add_raw_global(vm, "include", include_handler);
  sq_pushroottable(vm);
  sqstd_register_mathlib(vm);
  sqstd_register_stringlib(vm);
  sq_poptop(vm);
  return true;
}
