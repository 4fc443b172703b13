// The stream interface shared by blobs and files, and the registration of the
// common stream methods (readn, writen, seek, ...) on a class. Private to the libraries.
#pragma once
#include "squirrel.h"

struct SQStream {
    virtual ~SQStream() = default;
    virtual SQInteger Read(void *buffer, SQInteger size) = 0;
    virtual SQInteger Write(const void *buffer, SQInteger size) = 0;
    virtual SQInteger Flush() = 0;
    virtual SQInteger Tell() = 0;
    virtual SQInteger Len() = 0;
    // origin: SEEK_SET, SEEK_CUR or SEEK_END; returns 0 on success
    virtual SQInteger Seek(SQInteger offset, int origin) = 0;
    virtual bool IsValid() = 0;
    virtual bool EOS() = 0;
};

// Type tag of the base class every stream class derives from.
extern const int sqstd_stream_tag;
#define SQSTD_STREAM_TYPE_TAG ((SQUserPointer)&sqstd_stream_tag)

// Pushes the stream base class (created once per VM and kept in the registry).
SQRESULT sqstd_push_stream_class(HSQUIRRELVM v);
// Creates a class derived from the stream base, tagged with typetag, with the given
// extra methods, and stores it in the table on top of the stack under name.

SQRESULT sqstd_declare_stream_class(HSQUIRRELVM v, const SQChar *name, SQUserPointer typetag,
                                    const SQRegFunction *methods, SQInteger nmethods, const SQRegFunction *globals,
                                    SQInteger nglobals);
// Reads the stream of the instance at stack 1; throws when it is missing or closed.
SQRESULT sqstd_get_stream(HSQUIRRELVM v, SQStream **out);
// Registers native functions into the table or class on top of the stack.
void sqstd_register_functions(HSQUIRRELVM v, const SQRegFunction *f, SQInteger n);
