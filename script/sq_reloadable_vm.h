#pragma once
// One script VM with the files run in it, re-run in the same VM when any of them changes
// on disk. The world, effects and sky scripts each live in one.
#include <cstdint>
#include <squirrel.h>
#include "core/dyn_array.h"
#include "core/engine_api.h"
#include "core/temp_string.h"

class ENGINE_API SqReloadableVM
{
public:
  struct FileRecord
  {
    TempString<260> path;
    int64_t mtime; // modification time when the file was last run
  };

  HSQUIRRELVM vm = nullptr;   // null while closed
  DynArray<FileRecord> files; // in order of first loading

  SqReloadableVM() = default;
  SqReloadableVM(const SqReloadableVM &) = delete;
  SqReloadableVM &operator=(const SqReloadableVM &) = delete;
  virtual ~SqReloadableVM();

  // Creates the VM with the print and error handlers, registers itself under
  // "SqReloadableVM" in the registry and calls bind_functions.
  virtual bool init(SQInteger initial_stack);
  // Destroys the VM (collect, close); the file list stays.
  virtual void close();
  // Runs a file once; a path already listed (any letter case) runs nothing.
  virtual bool load_file(const char *path);
  // True as soon as one listed file's modification time differs from the stored one.
  virtual bool files_changed();
  virtual bool reload(bool force);
  // Defines "include" and registers the math and string libraries.
  virtual bool bind_functions();
  // Re-runs every listed file in order (all when forced, else the changed ones); stops
  // at the first failure.
  virtual bool run_files(bool force);
};

// The owner of a VM, as stored in its registry; null if the VM has none.
ENGINE_API SqReloadableVM *get_reloadable_vm(HSQUIRRELVM vm);
