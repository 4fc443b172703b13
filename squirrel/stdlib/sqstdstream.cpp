// Methods common to every stream (blob, file): binary reads and writes of numbers
// and blobs, seeking, length and end-of-stream tests.
#include "sqstdstream.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "sqstdblob.h"

const int sqstd_stream_tag = 0;

namespace {

const char *const kStreamClassKey = "std_stream";

SQInteger stream_readblob(HSQUIRRELVM v) {
    SQStream *s = nullptr;
    if (SQ_FAILED(sqstd_get_stream(v, &s))) return SQ_ERROR;
    SQInteger size;
    sq_getinteger(v, 2, &size);
    if (size <= 0) return sq_throwerror(v, "invalid size");
    SQInteger left = s->Len() - s->Tell();
    if (left <= 0) return sq_throwerror(v, "no data left to read");
    if (size > left) size = left;
    SQUserPointer data = sqstd_createblob(v, size);
    if (!data) return sq_throwerror(v, "cannot create blob");
    SQInteger got = s->Read(data, size);
    if (got <= 0) return sq_throwerror(v, "no data left to read");
    if (got < size) {
        // shrink the new blob to what was actually read
        sq_pushstring(v, "resize", -1);
        sq_get(v, -2);
        sq_push(v, -2);
        sq_pushinteger(v, got);
        sq_call(v, 2, SQFalse, SQFalse);
        sq_pop(v, 1);
    }
    return 1;
}

template <typename T>
bool read_value(SQStream *s, T &out) {
    return s->Read(&out, (SQInteger)sizeof(T)) == (SQInteger)sizeof(T);
}

SQInteger stream_readn(HSQUIRRELVM v) {
    SQStream *s = nullptr;
    if (SQ_FAILED(sqstd_get_stream(v, &s))) return SQ_ERROR;
    SQInteger format;
    sq_getinteger(v, 2, &format);
    bool ok = false;
    switch (format) {
        case 'l': {
            int64_t x;
            if ((ok = read_value(s, x))) sq_pushinteger(v, (SQInteger)x);
            break;
        }
        case 'i': {
            int32_t x;
            if ((ok = read_value(s, x))) sq_pushinteger(v, x);
            break;
        }
        case 's': {
            int16_t x;
            if ((ok = read_value(s, x))) sq_pushinteger(v, x);
            break;
        }
        case 'w': {
            uint16_t x;
            if ((ok = read_value(s, x))) sq_pushinteger(v, x);
            break;
        }
        case 'c': {
            int8_t x;
            if ((ok = read_value(s, x))) sq_pushinteger(v, x);
            break;
        }
        case 'b': {
            uint8_t x;
            if ((ok = read_value(s, x))) sq_pushinteger(v, x);
            break;
        }
        case 'f': {
            float x;
            if ((ok = read_value(s, x))) sq_pushfloat(v, x);
            break;
        }
        case 'd': {
            double x;
            if ((ok = read_value(s, x))) sq_pushfloat(v, (SQFloat)x);
            break;
        }
        default: return sq_throwerror(v, "invalid format");
    }
    if (!ok) return sq_throwerror(v, "io error");
    return 1;
}

template <typename T>
bool write_value(SQStream *s, T x) {
    return s->Write(&x, (SQInteger)sizeof(T)) == (SQInteger)sizeof(T);
}

SQInteger stream_writen(HSQUIRRELVM v) {
    SQStream *s = nullptr;
    if (SQ_FAILED(sqstd_get_stream(v, &s))) return SQ_ERROR;
    SQInteger format;
    sq_getinteger(v, 3, &format);
    SQInteger i = 0;
    SQFloat f = 0;
    sq_getinteger(v, 2, &i);
    sq_getfloat(v, 2, &f);
    bool ok;
    switch (format) {
        case 'l': ok = write_value(s, (int64_t)i); break;
        case 'i': ok = write_value(s, (int32_t)i); break;
        case 's': ok = write_value(s, (int16_t)i); break;
        case 'w': ok = write_value(s, (uint16_t)i); break;
        case 'c': ok = write_value(s, (int8_t)i); break;
        case 'b': ok = write_value(s, (uint8_t)i); break;
        case 'f': ok = write_value(s, (float)f); break;
        case 'd': ok = write_value(s, (double)f); break;
        default: return sq_throwerror(v, "invalid format");
    }
    if (!ok) return sq_throwerror(v, "io error");
    return 0;
}

SQInteger stream_writeblob(HSQUIRRELVM v) {
    SQStream *s = nullptr;
    if (SQ_FAILED(sqstd_get_stream(v, &s))) return SQ_ERROR;
    SQUserPointer data;
    if (SQ_FAILED(sqstd_getblob(v, 2, &data))) return sq_throwerror(v, "invalid parameter");
    SQInteger size = sqstd_getblobsize(v, 2);
    if (s->Write(data, size) != size) return sq_throwerror(v, "io error");
    return 0;
}

SQInteger stream_seek(HSQUIRRELVM v) {
    SQStream *s = nullptr;
    if (SQ_FAILED(sqstd_get_stream(v, &s))) return SQ_ERROR;
    SQInteger offset, origin = 'b';
    sq_getinteger(v, 2, &offset);
    if (sq_gettop(v) > 2) sq_getinteger(v, 3, &origin);
    int o;
    switch (origin) {
        case 'b': o = SEEK_SET; break;
        case 'c': o = SEEK_CUR; break;
        case 'e': o = SEEK_END; break;
        default: return sq_throwerror(v, "invalid origin");
    }
    sq_pushinteger(v, s->Seek(offset, o));
    return 1;
}

SQInteger stream_tell(HSQUIRRELVM v) {
    SQStream *s = nullptr;
    if (SQ_FAILED(sqstd_get_stream(v, &s))) return SQ_ERROR;
    sq_pushinteger(v, s->Tell());
    return 1;
}

SQInteger stream_len(HSQUIRRELVM v) {
    SQStream *s = nullptr;
    if (SQ_FAILED(sqstd_get_stream(v, &s))) return SQ_ERROR;
    sq_pushinteger(v, s->Len());
    return 1;
}

SQInteger stream_flush(HSQUIRRELVM v) {
    SQStream *s = nullptr;
    if (SQ_FAILED(sqstd_get_stream(v, &s))) return SQ_ERROR;
    if (s->Flush() == 0)
        sq_pushinteger(v, 1);
    else
        sq_pushnull(v);
    return 1;
}

SQInteger stream_eos(HSQUIRRELVM v) {
    SQStream *s = nullptr;
    if (SQ_FAILED(sqstd_get_stream(v, &s))) return SQ_ERROR;
    if (s->EOS())
        sq_pushinteger(v, 1);
    else
        sq_pushnull(v);
    return 1;
}

const SQRegFunction kStreamMethods[] = {
    {"readblob", stream_readblob, 2, "xn"},
    {"readn", stream_readn, 2, "xn"},
    {"writeblob", stream_writeblob, -2, "xx"},
    {"writen", stream_writen, 3, "xnn"},
    {"seek", stream_seek, -2, "xnn"},
    {"tell", stream_tell, 1, "x"},
    {"len", stream_len, 1, "x"},
    {"eos", stream_eos, 1, "x"},
    {"flush", stream_flush, 1, "x"},
};

}  // namespace

void sqstd_register_functions(HSQUIRRELVM v, const SQRegFunction *f, SQInteger n) {
    for (SQInteger i = 0; i < n; ++i) {
        sq_pushstring(v, f[i].name, -1);
        sq_newclosure(v, f[i].f, 0);
        sq_setparamscheck(v, f[i].nparamscheck, f[i].typemask);
        sq_setnativeclosurename(v, -1, f[i].name);
        sq_newslot(v, -3, SQFalse);
    }
}

SQRESULT sqstd_get_stream(HSQUIRRELVM v, SQStream **out) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, SQSTD_STREAM_TYPE_TAG, SQTrue))) return SQ_ERROR;
    SQStream *s = (SQStream *)p;
    if (!s || !s->IsValid()) return sq_throwerror(v, "the stream is invalid");
    *out = s;
    return SQ_OK;
}

SQRESULT sqstd_push_stream_class(HSQUIRRELVM v) {
    sq_pushregistrytable(v);
    const SQInteger top = sq_gettop(v);
    sq_pushstring(v, kStreamClassKey, -1);
    if (SQ_SUCCEEDED(sq_rawget(v, -2))) {
        sq_remove(v, -2);
        return SQ_OK;
    }
    sq_settop(v, top);
    sq_pushstring(v, kStreamClassKey, -1);
    sq_newclass(v, SQFalse);
    sq_settypetag(v, -1, SQSTD_STREAM_TYPE_TAG);
    sqstd_register_functions(v, kStreamMethods, (SQInteger)(sizeof kStreamMethods / sizeof kStreamMethods[0]));
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, kStreamClassKey, -1);
    sq_rawget(v, -2);
    sq_remove(v, -2);
    return SQ_OK;
}

SQRESULT sqstd_declare_stream_class(HSQUIRRELVM v, const SQChar *name, SQUserPointer typetag,
                                    const SQRegFunction *methods, SQInteger nmethods, const SQRegFunction *globals,
                                    SQInteger nglobals) {
    if (sq_gettype(v, -1) != OT_TABLE) return sq_throwerror(v, "table expected");
    // the class lives in the registry too, so C code can create instances whatever scripts do
    sq_pushregistrytable(v);
    sq_pushstring(v, name, -1);
    sqstd_push_stream_class(v);
    sq_newclass(v, SQTrue);
    sq_settypetag(v, -1, typetag);
    sqstd_register_functions(v, methods, nmethods);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);  // registry
    sq_pushstring(v, name, -1);
    sq_pushregistrytable(v);
    sq_pushstring(v, name, -1);
    sq_rawget(v, -2);
    sq_remove(v, -2);
    sq_newslot(v, -3, SQFalse);
    sqstd_register_functions(v, globals, nglobals);
    return SQ_OK;
}
