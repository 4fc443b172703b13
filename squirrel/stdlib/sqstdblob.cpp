// The blob library: an in-memory stream that grows when written past its end.
#include "sqstdblob.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "sqstdstream.h"

namespace {

const int kBlobTag = 0;
#define BLOB_TYPE_TAG ((SQUserPointer)&kBlobTag)

constexpr SQInteger kMaxBlobSize = (SQInteger)1 << 31;  // refuses sizes that would exhaust memory

struct Blob final : SQStream {
    std::vector<unsigned char> data;
    SQInteger pos = 0;

    SQInteger Read(void *buffer, SQInteger size) override {
        SQInteger left = (SQInteger)data.size() - pos;
        if (left <= 0 || size <= 0) return 0;
        if (size > left) size = left;
        std::memcpy(buffer, data.data() + pos, (size_t)size);
        pos += size;
        return size;
    }
    SQInteger Write(const void *buffer, SQInteger size) override {
        if (size <= 0) return 0;
        if (pos + size > kMaxBlobSize) return 0;
        if (pos + size > (SQInteger)data.size()) data.resize((size_t)(pos + size));
        std::memcpy(data.data() + pos, buffer, (size_t)size);
        pos += size;
        return size;
    }
    SQInteger Flush() override { return 0; }
    SQInteger Tell() override { return pos; }
    SQInteger Len() override { return (SQInteger)data.size(); }
    SQInteger Seek(SQInteger offset, int origin) override {
        SQInteger base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? pos : (SQInteger)data.size();
        SQInteger target = base + offset;
        if (target < 0 || target > (SQInteger)data.size()) return -1;
        pos = target;
        return 0;
    }
    bool IsValid() override { return true; }
    bool EOS() override { return pos >= (SQInteger)data.size(); }
    bool Resize(SQInteger n) {
        if (n < 0 || n > kMaxBlobSize) return false;
        data.resize((size_t)n);
        if (pos > n) pos = n;
        return true;
    }
};

SQRESULT get_blob(HSQUIRRELVM v, Blob **out) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, BLOB_TYPE_TAG, SQTrue))) return SQ_ERROR;
    if (!p) return sq_throwerror(v, "the blob is invalid");
    *out = (Blob *)p;
    return SQ_OK;
}

SQInteger blob_release(SQUserPointer p, SQInteger) {
    delete (SQStream *)p;
    return 1;
}

SQInteger blob_constructor(HSQUIRRELVM v) {
    SQInteger size = 0;
    if (sq_gettop(v) > 1) sq_getinteger(v, 2, &size);
    if (size < 0 || size > kMaxBlobSize) return sq_throwerror(v, "cannot create blob with negative size");
    Blob *b = new (std::nothrow) Blob;
    if (!b || !b->Resize(size)) {
        delete b;
        return sq_throwerror(v, "cannot create blob");
    }
    if (SQ_FAILED(sq_setinstanceup(v, 1, (SQStream *)b))) {
        delete b;
        return sq_throwerror(v, "cannot create blob");
    }
    sq_setreleasehook(v, 1, blob_release);
    return 0;
}

SQInteger blob_resize(HSQUIRRELVM v) {
    Blob *b = nullptr;
    if (SQ_FAILED(get_blob(v, &b))) return SQ_ERROR;
    SQInteger n;
    sq_getinteger(v, 2, &n);
    if (!b->Resize(n)) return sq_throwerror(v, "resize failed");
    return 0;
}

template <typename T>
void swap_all(Blob *b) {
    size_t n = b->data.size() / sizeof(T);
    for (size_t i = 0; i < n; ++i) {
        unsigned char *p = b->data.data() + i * sizeof(T);
        for (size_t k = 0; k < sizeof(T) / 2; ++k) {
            unsigned char t = p[k];
            p[k] = p[sizeof(T) - 1 - k];
            p[sizeof(T) - 1 - k] = t;
        }
    }
}

SQInteger blob_swap2(HSQUIRRELVM v) {
    Blob *b = nullptr;
    if (SQ_FAILED(get_blob(v, &b))) return SQ_ERROR;
    swap_all<uint16_t>(b);
    return 0;
}

SQInteger blob_swap4(HSQUIRRELVM v) {
    Blob *b = nullptr;
    if (SQ_FAILED(get_blob(v, &b))) return SQ_ERROR;
    swap_all<uint32_t>(b);
    return 0;
}

SQInteger blob_get(HSQUIRRELVM v) {
    Blob *b = nullptr;
    if (SQ_FAILED(get_blob(v, &b))) return SQ_ERROR;
    if (sq_gettype(v, 2) != OT_INTEGER) {
        sq_pushnull(v);  // not a byte index: report a missing member, not a failure
        return sq_throwobject(v);
    }
    SQInteger i;
    sq_getinteger(v, 2, &i);
    if (i < 0 || i >= (SQInteger)b->data.size()) return sq_throwerror(v, "index out of range");
    sq_pushinteger(v, b->data[(size_t)i]);
    return 1;
}

SQInteger blob_set(HSQUIRRELVM v) {
    Blob *b = nullptr;
    if (SQ_FAILED(get_blob(v, &b))) return SQ_ERROR;
    if (sq_gettype(v, 2) != OT_INTEGER) return sq_throwerror(v, "wrong index type");
    SQInteger i, val;
    sq_getinteger(v, 2, &i);
    sq_getinteger(v, 3, &val);
    if (i < 0 || i >= (SQInteger)b->data.size()) return sq_throwerror(v, "index out of range");
    b->data[(size_t)i] = (unsigned char)val;
    sq_push(v, 3);
    return 1;
}

SQInteger blob_nexti(HSQUIRRELVM v) {
    Blob *b = nullptr;
    if (SQ_FAILED(get_blob(v, &b))) return SQ_ERROR;
    SQInteger next = 0;
    if (sq_gettype(v, 2) == OT_INTEGER) {
        sq_getinteger(v, 2, &next);
        ++next;
    } else if (sq_gettype(v, 2) != OT_NULL) {
        return sq_throwerror(v, "internal error (_nexti) wrong argument type");
    }
    if (next >= (SQInteger)b->data.size()) return 0;
    sq_pushinteger(v, next);
    return 1;
}

SQInteger blob_typeof(HSQUIRRELVM v) {
    sq_pushstring(v, "blob", -1);
    return 1;
}

SQInteger blob_cloned(HSQUIRRELVM v) {
    // stack: 1 the new instance (sharing nothing yet), 2 the original
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 2, &p, BLOB_TYPE_TAG, SQTrue)) || !p) return SQ_ERROR;
    Blob *copy = new (std::nothrow) Blob(*(Blob *)p);
    if (!copy) return sq_throwerror(v, "cannot clone blob");
    if (SQ_FAILED(sq_setinstanceup(v, 1, (SQStream *)copy))) {
        delete copy;
        return sq_throwerror(v, "cannot clone blob");
    }
    sq_setreleasehook(v, 1, blob_release);
    return 0;
}

SQInteger blob_castf2i(HSQUIRRELVM v) {
    SQFloat f;
    sq_getfloat(v, 2, &f);
    float ff = (float)f;
    int32_t i;
    std::memcpy(&i, &ff, sizeof i);
    sq_pushinteger(v, i);
    return 1;
}

SQInteger blob_casti2f(HSQUIRRELVM v) {
    SQInteger n;
    sq_getinteger(v, 2, &n);
    int32_t i = (int32_t)n;
    float f;
    std::memcpy(&f, &i, sizeof f);
    sq_pushfloat(v, f);
    return 1;
}

SQInteger blob_swap2_global(HSQUIRRELVM v) {
    SQInteger n;
    sq_getinteger(v, 2, &n);
    uint16_t s = (uint16_t)n;
    s = (uint16_t)((s >> 8) | (s << 8));
    sq_pushinteger(v, (int16_t)s);
    return 1;
}

SQInteger blob_swap4_global(HSQUIRRELVM v) {
    SQInteger n;
    sq_getinteger(v, 2, &n);
    uint32_t u = (uint32_t)n;
    u = (u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24);
    sq_pushinteger(v, (int32_t)u);
    return 1;
}

SQInteger blob_swapfloat(HSQUIRRELVM v) {
    SQFloat f;
    sq_getfloat(v, 2, &f);
    float ff = (float)f;
    uint32_t u;
    std::memcpy(&u, &ff, sizeof u);
    u = (u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24);
    std::memcpy(&ff, &u, sizeof u);
    sq_pushfloat(v, ff);
    return 1;
}

const SQRegFunction kBlobMethods[] = {
    {"constructor", blob_constructor, -1, "xn"},
    {"resize", blob_resize, 2, "xn"},
    {"swap2", blob_swap2, 1, "x"},
    {"swap4", blob_swap4, 1, "x"},
    {"_set", blob_set, 3, "xnn"},
    {"_get", blob_get, 2, "x."},
    {"_typeof", blob_typeof, 1, "x"},
    {"_nexti", blob_nexti, 2, "x."},
    {"_cloned", blob_cloned, 2, "xx"},
};

const SQRegFunction kBlobGlobals[] = {
    {"castf2i", blob_castf2i, 2, ".n"},     {"casti2f", blob_casti2f, 2, ".n"},
    {"swap2", blob_swap2_global, 2, ".n"},  {"swap4", blob_swap4_global, 2, ".n"},
    {"swapfloat", blob_swapfloat, 2, ".n"},
};

}  // namespace

SQUserPointer sqstd_createblob(HSQUIRRELVM v, SQInteger size) {
    const SQInteger top = sq_gettop(v);
    sq_pushregistrytable(v);
    sq_pushstring(v, "blob", -1);
    if (SQ_SUCCEEDED(sq_rawget(v, -2))) {
        sq_remove(v, -2);     // registry
        sq_pushroottable(v);  // 'this' for the constructor call
        sq_pushinteger(v, size);
        if (SQ_SUCCEEDED(sq_call(v, 2, SQTrue, SQFalse))) {
            sq_remove(v, -2);  // the class
            SQUserPointer p = nullptr;
            if (SQ_SUCCEEDED(sq_getinstanceup(v, -1, &p, BLOB_TYPE_TAG, SQFalse)) && p)
                return ((Blob *)(SQStream *)p)->data.data();
        }
    }
    sq_settop(v, top);
    return nullptr;
}

SQRESULT sqstd_getblob(HSQUIRRELVM v, SQInteger idx, SQUserPointer *ptr) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &p, BLOB_TYPE_TAG, SQTrue)) || !p) return SQ_ERROR;
    *ptr = ((Blob *)(SQStream *)p)->data.data();
    return SQ_OK;
}

SQInteger sqstd_getblobsize(HSQUIRRELVM v, SQInteger idx) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &p, BLOB_TYPE_TAG, SQFalse)) || !p) return -1;
    return ((Blob *)(SQStream *)p)->Len();
}

SQRESULT sqstd_register_bloblib(HSQUIRRELVM v) {
    return sqstd_declare_stream_class(v, "blob", BLOB_TYPE_TAG, kBlobMethods,
                                      (SQInteger)(sizeof kBlobMethods / sizeof kBlobMethods[0]), kBlobGlobals,
                                      (SQInteger)(sizeof kBlobGlobals / sizeof kBlobGlobals[0]));
}
