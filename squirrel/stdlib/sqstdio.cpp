// Script loading: source or bytecode files compiled into closures, and
// closures written back out as bytecode.
#include "sqstdio.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool slurp(const char *path, std::string &out) {
    FILE *f = std::fopen(path, "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

struct BufferReader {
    const char *p;
    size_t left;
};

SQInteger read_buffer(SQUserPointer up, SQUserPointer dest, SQInteger size) {
    BufferReader *r = (BufferReader *)up;
    size_t n = (size_t)size < r->left ? (size_t)size : r->left;
    std::memcpy(dest, r->p, n);
    r->p += n;
    r->left -= n;
    return (SQInteger)n;
}

SQInteger write_file(SQUserPointer up, SQUserPointer src, SQInteger size) {
    return (SQInteger)std::fwrite(src, 1, (size_t)size, (FILE *)up);
}

SQInteger io_loadfile(HSQUIRRELVM v) {
    const SQChar *path;
    SQBool printerror = SQFalse;
    sq_getstring(v, 2, &path);
    if (sq_gettop(v) >= 3) sq_getbool(v, 3, &printerror);
    if (SQ_FAILED(sqstd_loadfile(v, path, printerror))) return SQ_ERROR;
    return 1;
}

SQInteger io_dofile(HSQUIRRELVM v) {
    const SQChar *path;
    SQBool printerror = SQFalse;
    sq_getstring(v, 2, &path);
    if (sq_gettop(v) >= 3) sq_getbool(v, 3, &printerror);
    sq_push(v, 1); // the caller's environment becomes the script's 'this'
    if (SQ_FAILED(sqstd_dofile(v, path, SQTrue, printerror))) return SQ_ERROR;
    return 1;
}

SQInteger io_writeclosuretofile(HSQUIRRELVM v) {
    const SQChar *path;
    sq_getstring(v, 2, &path);
    if (SQ_FAILED(sqstd_writeclosuretofile(v, path))) return SQ_ERROR;
    return 0;
}

const SQRegFunction kIoFuncs[] = {
    {"loadfile", io_loadfile, -2, ".sb"},
    {"dofile", io_dofile, -2, ".sb"},
    {"writeclosuretofile", io_writeclosuretofile, 3, ".sc"},
};

} // namespace

SQRESULT sqstd_loadfile(HSQUIRRELVM v, const SQChar *filename, SQBool printerror) {
    std::string src;
    if (!slurp(filename, src)) return sq_throwerror(v, "cannot open the file");
    const unsigned char *u = (const unsigned char *)src.data();
    if (src.size() >= 2 && (u[0] | (u[1] << 8)) == SQ_BYTECODE_STREAM_TAG) {
        BufferReader r{src.data(), src.size()};
        return sq_readclosure(v, read_buffer, &r);
    }
    const char *text = src.data();
    SQInteger len = (SQInteger)src.size();
    if (len >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
        text += 3;
        len -= 3;
    }
    return sq_compilebuffer(v, text, len, filename, printerror);
}

SQRESULT sqstd_dofile(HSQUIRRELVM v, const SQChar *filename, SQBool retval, SQBool printerror) {
    if (SQ_FAILED(sqstd_loadfile(v, filename, printerror))) return SQ_ERROR;
    sq_push(v, -2);
    if (SQ_FAILED(sq_call(v, 1, retval, SQTrue))) {
        sq_poptop(v); // the closure
        return SQ_ERROR;
    }
    sq_remove(v, retval ? -2 : -1); // the closure, keeping the result on top
    return SQ_OK;
}

SQRESULT sqstd_writeclosuretofile(HSQUIRRELVM v, const SQChar *filename) {
    FILE *f = std::fopen(filename, "wb");
    if (!f) return sq_throwerror(v, "cannot open the file");
    SQRESULT r = sq_writeclosure(v, write_file, f);
    if (std::fclose(f) != 0 && SQ_SUCCEEDED(r)) return sq_throwerror(v, "cannot write the file");
    return r;
}

SQRESULT sqstd_register_iolib(HSQUIRRELVM v) {
    for (const SQRegFunction &f : kIoFuncs) {
        sq_pushstring(v, f.name, -1);
        sq_newclosure(v, f.f, 0);
        sq_setparamscheck(v, f.nparamscheck, f.typemask);
        sq_setnativeclosurename(v, -1, f.name);
        sq_newslot(v, -3, SQFalse);
    }
    return SQ_OK;
}
