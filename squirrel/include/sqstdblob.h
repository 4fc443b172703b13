// Blob library for the script engine: growable binary buffers with a read/write
// pointer, byte access through [], and byte-order helpers.
#pragma once
#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

// Creates a blob of size bytes (zeroed), pushes it and returns its payload.
SQUIRREL_API SQUserPointer sqstd_createblob(HSQUIRRELVM v, SQInteger size);
// Payload of the blob at idx; valid until the blob is resized or collected.
SQUIRREL_API SQRESULT sqstd_getblob(HSQUIRRELVM v, SQInteger idx, SQUserPointer *ptr);
// Size of the blob at idx, or -1 when the value is not a blob.
SQUIRREL_API SQInteger sqstd_getblobsize(HSQUIRRELVM v, SQInteger idx);
// Registers the blob class and castf2i, casti2f, swap2, swap4, swapfloat.
SQUIRREL_API SQRESULT sqstd_register_bloblib(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif
