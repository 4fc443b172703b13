// Input/output library for the script engine: the file class, the stdin/stdout/stderr
// objects, and script loading (dofile, loadfile, writeclosuretofile).
#pragma once
#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void *SQFILE;  // a C FILE*

// Pushes a file object for the stream; when owns is set the object closes it when released.
SQUIRREL_API SQRESULT sqstd_createfile(HSQUIRRELVM v, SQFILE file, SQBool owns);
// The stream of the file object at idx.
SQUIRREL_API SQRESULT sqstd_getfile(HSQUIRRELVM v, SQInteger idx, SQFILE *file);

// Compiles the script (or reads the bytecode) at filename and pushes it as a closure.
SQUIRREL_API SQRESULT sqstd_loadfile(HSQUIRRELVM v, const SQChar *filename, SQBool printerror);
// Loads and runs the script with the value on top of the stack as 'this', which stays there;
// pushes the script's result when retval is set.
SQUIRREL_API SQRESULT sqstd_dofile(HSQUIRRELVM v, const SQChar *filename, SQBool retval, SQBool printerror);
// Writes the closure on top of the stack to filename as bytecode.
SQUIRREL_API SQRESULT sqstd_writeclosuretofile(HSQUIRRELVM v, const SQChar *filename);
// Registers the file class, stdin/stdout/stderr, dofile, loadfile and writeclosuretofile
// into the table on top of the stack.
SQUIRREL_API SQRESULT sqstd_register_iolib(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif
