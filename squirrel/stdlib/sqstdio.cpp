// The io library: file objects over C streams, and script loading (source or
// bytecode files compiled into closures, closures written back out as bytecode).
#include "sqstdio.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "sqstdstream.h"

namespace {

const int kFileTag = 0;
#define FILE_TYPE_TAG ((SQUserPointer)&kFileTag)

struct File final : SQStream {
    FILE *f = nullptr;
    bool owns = false;

    File(FILE *file, bool own) : f(file), owns(own) {}
    ~File() override { Close(); }
    void Close() {
        if (f && owns) std::fclose(f);
        f = nullptr;
    }
    SQInteger Read(void *buffer, SQInteger size) override { return (SQInteger)std::fread(buffer, 1, (size_t)size, f); }
    SQInteger Write(const void *buffer, SQInteger size) override {
        return (SQInteger)std::fwrite(buffer, 1, (size_t)size, f);
    }
    SQInteger Flush() override { return std::fflush(f); }
    SQInteger Tell() override { return (SQInteger)std::ftell(f); }
    SQInteger Len() override {
        long here = std::ftell(f);
        if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
        long size = std::ftell(f);
        std::fseek(f, here, SEEK_SET);
        return (SQInteger)size;
    }
    SQInteger Seek(SQInteger offset, int origin) override { return std::fseek(f, (long)offset, origin); }
    bool IsValid() override { return f != nullptr; }
    bool EOS() override {
        if (std::feof(f)) return true;
        int c = std::fgetc(f);
        if (c == EOF) return true;
        std::ungetc(c, f);
        return false;
    }
};

SQInteger file_release(SQUserPointer p, SQInteger) {
    delete (SQStream *)p;
    return 1;
}

// file(path, mode) opens a file; file(userpointer, owns) wraps a C stream from the host.
SQInteger file_constructor(HSQUIRRELVM v) {
    FILE *f = nullptr;
    bool owns = true;
    if (sq_gettype(v, 2) == OT_STRING) {
        const SQChar *path, *mode = "r";
        sq_getstring(v, 2, &path);
        if (sq_gettop(v) > 2) sq_getstring(v, 3, &mode);
        if (!mode[0] || std::strspn(mode, "rwab+t") != std::strlen(mode) || !std::strchr("rwa", mode[0]))
            return sq_throwerror(v, "invalid file mode");
        f = std::fopen(path, mode);
        if (!f) return sq_throwerror(v, "cannot open file");
    } else if (sq_gettype(v, 2) == OT_USERPOINTER) {
        SQUserPointer up;
        sq_getuserpointer(v, 2, &up);
        f = (FILE *)up;
        SQBool b = SQFalse;
        if (sq_gettop(v) > 2) sq_getbool(v, 3, &b);
        owns = b != SQFalse;
    } else {
        return sq_throwerror(v, "wrong parameter");
    }
    File *file = new (std::nothrow) File(f, owns);
    if (!file) {
        if (owns) std::fclose(f);
        return sq_throwerror(v, "cannot create file");
    }
    if (SQ_FAILED(sq_setinstanceup(v, 1, (SQStream *)file))) {
        delete file;
        return sq_throwerror(v, "cannot create file");
    }
    sq_setreleasehook(v, 1, file_release);
    return 0;
}

SQInteger file_close(HSQUIRRELVM v) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, FILE_TYPE_TAG, SQTrue))) return SQ_ERROR;
    if (p) ((File *)(SQStream *)p)->Close();
    return 0;
}

SQInteger file_typeof(HSQUIRRELVM v) {
    sq_pushstring(v, "file", -1);
    return 1;
}

const SQRegFunction kFileMethods[] = {
    {"constructor", file_constructor, -2, "x.s|b"},
    {"close", file_close, 1, "x"},
    {"_typeof", file_typeof, 1, "x"},
};

void push_std_stream(HSQUIRRELVM v, const char *name, FILE *f) {
    sq_pushstring(v, name, -1);
    sqstd_createfile(v, f, SQFalse);
    sq_newslot(v, -3, SQFalse);
}

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
    sq_push(v, 1);  // the caller's environment becomes the script's 'this'
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

}  // namespace

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
        sq_poptop(v);  // the closure
        return SQ_ERROR;
    }
    sq_remove(v, retval ? -2 : -1);  // the closure, keeping the result on top
    return SQ_OK;
}

SQRESULT sqstd_writeclosuretofile(HSQUIRRELVM v, const SQChar *filename) {
    FILE *f = std::fopen(filename, "wb");
    if (!f) return sq_throwerror(v, "cannot open the file");
    SQRESULT r = sq_writeclosure(v, write_file, f);
    if (std::fclose(f) != 0 && SQ_SUCCEEDED(r)) return sq_throwerror(v, "cannot write the file");
    return r;
}

SQRESULT sqstd_createfile(HSQUIRRELVM v, SQFILE file, SQBool owns) {
    const SQInteger top = sq_gettop(v);
    sq_pushregistrytable(v);
    sq_pushstring(v, "file", -1);
    if (SQ_SUCCEEDED(sq_rawget(v, -2))) {
        sq_remove(v, -2);  // registry
        sq_pushroottable(v);
        sq_pushuserpointer(v, file);
        sq_pushbool(v, owns);
        if (SQ_SUCCEEDED(sq_call(v, 3, SQTrue, SQFalse))) {
            sq_remove(v, -2);  // the class
            return SQ_OK;
        }
    }
    sq_settop(v, top);
    return sq_throwerror(v, "cannot create file object");
}

SQRESULT sqstd_getfile(HSQUIRRELVM v, SQInteger idx, SQFILE *file) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &p, FILE_TYPE_TAG, SQTrue))) return SQ_ERROR;
    if (!p) return sq_throwerror(v, "invalid file");
    *file = ((File *)(SQStream *)p)->f;
    return SQ_OK;
}

SQRESULT sqstd_register_iolib(HSQUIRRELVM v) {
    if (SQ_FAILED(sqstd_declare_stream_class(v, "file", FILE_TYPE_TAG, kFileMethods,
                                             (SQInteger)(sizeof kFileMethods / sizeof kFileMethods[0]), kIoFuncs,
                                             (SQInteger)(sizeof kIoFuncs / sizeof kIoFuncs[0]))))
        return SQ_ERROR;
    push_std_stream(v, "stdout", stdout);
    push_std_stream(v, "stdin", stdin);
    push_std_stream(v, "stderr", stderr);
    return SQ_OK;
}
