// Core value and object model of the script engine: tagged values, reference
// counting, the collectable chain used by the cycle collector, and the heap
// object types (strings, tables, arrays, closures, classes, instances...).
#pragma once
#include "sqalloc.h"
#include "squirrel.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

struct SQSharedState;
struct SQVM;
struct SQCollectable;

using SQGCList = std::vector<SQCollectable *>;

// Base of every heap object. _uiRef counts strong references.
struct SQRefCounted {
    static void *operator new(size_t size) { return sq_alloc(size); }
    static void *operator new(size_t, void *at) noexcept { return at; }  // strings, userdata: own block
    static void operator delete(void *p) noexcept { sq_dealloc(p); }
    static void operator delete(void *, void *) noexcept {}
    SQUnsignedInteger _uiRef = 0;
    struct SQWeakRef *_weakref = nullptr;
    virtual ~SQRefCounted();
    virtual void Release() = 0;
    SQWeakRef *GetWeakRef(SQObjectType type);
};

// for the few helpers the interpreter loop must have inline, however large it grows
#define SQ_FORCEINLINE inline __attribute__((always_inline))

inline bool sq_isrefcounted_type(SQObjectType t) { return (t & SQOBJECT_REF_COUNTED) != 0; }

SQ_FORCEINLINE void sq_objaddref(const SQObject &o) {
    if (sq_isrefcounted_type(o._type)) o._unVal.pRefCounted->_uiRef++;
}
// frees r, deferring nested frees so long chains do not recurse deeply
void sq_releaseobject(SQRefCounted *r);
SQ_FORCEINLINE void sq_objrelease(const SQObject &o) {
    if (sq_isrefcounted_type(o._type)) {
        SQRefCounted *r = o._unVal.pRefCounted;
        if (--r->_uiRef == 0) sq_releaseobject(r);
    }
}

// Owning handle to a value.
struct SQObjectPtr : public SQObject {
    static void *operator new[](size_t size) { return sq_alloc(size); }
    static void operator delete[](void *p) noexcept { sq_dealloc(p); }
    SQObjectPtr() {
        _type = OT_NULL;
        _unVal.raw = 0;
    }
    SQObjectPtr(const SQObjectPtr &o) : SQObject(o) { sq_objaddref(*this); }
    SQObjectPtr(const SQObject &o) : SQObject(o) { sq_objaddref(*this); }
    SQObjectPtr(SQObjectPtr &&o) noexcept : SQObject(o) {
        o._type = OT_NULL;
        o._unVal.raw = 0;
    }
    explicit SQObjectPtr(SQInteger i) {
        _unVal.raw = 0;
        _type = OT_INTEGER;
        _unVal.nInteger = i;
    }
    explicit SQObjectPtr(int i) {
        _unVal.raw = 0;
        _type = OT_INTEGER;
        _unVal.nInteger = i;
    }
    explicit SQObjectPtr(SQFloat f) {
        _unVal.raw = 0;
        _type = OT_FLOAT;
        _unVal.fFloat = f;
    }
    explicit SQObjectPtr(bool b) {
        _unVal.raw = 0;
        _type = OT_BOOL;
        _unVal.nInteger = b ? 1 : 0;
    }
    SQObjectPtr(SQObjectType t, SQRefCounted *p) {
        _type = t;
        _unVal.raw = 0;
        _unVal.pRefCounted = p;
        sq_objaddref(*this);
    }
    static SQObjectPtr UserPointer(SQUserPointer p) {
        SQObjectPtr o;
        o._type = OT_USERPOINTER;
        o._unVal.pUserPointer = p;
        return o;
    }
    ~SQObjectPtr() { sq_objrelease(*this); }
    SQ_FORCEINLINE SQObjectPtr &operator=(const SQObjectPtr &o) {
        SQObject old = *this;
        _type = o._type;
        _unVal = o._unVal;
        sq_objaddref(*this);
        sq_objrelease(old);
        return *this;
    }
    SQ_FORCEINLINE SQObjectPtr &operator=(const SQObject &o) {
        SQObject old = *this;
        _type = o._type;
        _unVal = o._unVal;
        sq_objaddref(*this);
        sq_objrelease(old);
        return *this;
    }
    SQ_FORCEINLINE SQObjectPtr &operator=(SQObjectPtr &&o) noexcept {
        if (this != &o) {
            SQObject old = *this;
            _type = o._type;
            _unVal = o._unVal;
            o._type = OT_NULL;
            o._unVal.raw = 0;
            sq_objrelease(old);
        }
        return *this;
    }
    SQObjectPtr &operator=(SQInteger i) {
        Null();
        _type = OT_INTEGER;
        _unVal.nInteger = i;
        return *this;
    }
    SQObjectPtr &operator=(SQFloat f) {
        Null();
        _type = OT_FLOAT;
        _unVal.fFloat = f;
        return *this;
    }
    SQObjectPtr &operator=(bool b) {
        Null();
        _type = OT_BOOL;
        _unVal.nInteger = b ? 1 : 0;
        return *this;
    }
    SQ_FORCEINLINE void Null() {
        SQObject old = *this;
        _type = OT_NULL;
        _unVal.raw = 0;
        sq_objrelease(old);
    }
    // fast setters for non-refcounted values
    SQ_FORCEINLINE void SetInt(SQInteger i) {
        if (sq_isrefcounted_type(_type)) { Null(); }
        _type = OT_INTEGER;
        _unVal.nInteger = i;
    }
    SQ_FORCEINLINE void SetFloat(SQFloat f) {
        if (sq_isrefcounted_type(_type)) { Null(); }
        _unVal.raw = 0;
        _type = OT_FLOAT;
        _unVal.fFloat = f;
    }
    SQ_FORCEINLINE void SetBool(bool b) {
        if (sq_isrefcounted_type(_type)) { Null(); }
        _type = OT_BOOL;
        _unVal.nInteger = b ? 1 : 0;
    }
};

#define sqtype(o) ((o)._type)
#define _integer(o) ((o)._unVal.nInteger)
#define _float(o) ((o)._unVal.fFloat)
#define _string(o) ((o)._unVal.pString)
#define _table(o) ((o)._unVal.pTable)
#define _array(o) ((o)._unVal.pArray)
#define _closure(o) ((o)._unVal.pClosure)
#define _nativeclosure(o) ((o)._unVal.pNativeClosure)
#define _generator(o) ((o)._unVal.pGenerator)
#define _userdata(o) ((o)._unVal.pUserData)
#define _userpointer(o) ((o)._unVal.pUserPointer)
#define _thread(o) ((o)._unVal.pThread)
#define _class(o) ((o)._unVal.pClass)
#define _instance(o) ((o)._unVal.pInstance)
#define _weakref(o) ((o)._unVal.pWeakRef)
#define _outer(o) ((o)._unVal.pOuter)
#define _funcproto(o) ((o)._unVal.pFunctionProto)
#define _refcounted(o) ((o)._unVal.pRefCounted)
#define _delegable(o) ((o)._unVal.pDelegable)
#define _rawval(o) ((o)._unVal.raw)

inline SQFloat tofloat(const SQObject &o) {
    return o._type == OT_INTEGER ? (SQFloat)o._unVal.nInteger : o._unVal.fFloat;
}
// Float to integer as the x86 conversion does it: NaN and values outside the
// 64-bit range give the most negative integer.
inline SQInteger FloatToInt(SQFloat f) {
    if (f >= -9223372036854775808.0f && f < 9223372036854775808.0f) return (SQInteger)f;
    return INT64_MIN;
}
inline SQInteger tointeger(const SQObject &o) {
    return o._type == OT_FLOAT ? FloatToInt(o._unVal.fFloat) : o._unVal.nInteger;
}
inline bool IsFalse(const SQObject &o) {
    if (o._type & SQOBJECT_CANBEFALSE) {
        if (o._type == OT_FLOAT) return o._unVal.fFloat == 0.0f;
        if (o._type == OT_NULL) return true;
        return o._unVal.nInteger == 0;
    }
    return false;
}

const char *GetTypeName(SQObjectType t);
inline const char *GetTypeName(const SQObject &o) { return GetTypeName(o._type); }

// Objects that can take part in reference cycles. They are chained in the shared
// state so that the collector can find those no root reaches.
struct SQCollectable : public SQRefCounted {
    SQCollectable *_gcnext = nullptr;
    SQCollectable *_gcprev = nullptr;
    SQSharedState *_sharedstate = nullptr;
    bool _marked = false;
    SQObjectType _gctype = OT_NULL;
    void Link(SQSharedState *ss, SQObjectType t);
    void Unlink();
    // drops every reference this object holds (breaks cycles)
    virtual void Finalize() = 0;
    // pushes every object referenced onto the gray list
    virtual void Mark(SQGCList &gray) = 0;
    ~SQCollectable() override;
};

void sq_markobj(const SQObject &o, SQGCList &gray);

// Interned, immutable string with cached hash.
struct SQString : public SQRefCounted {
    SQSharedState *_ss;
    SQString *_next;  // chain in the string table
    SQInteger _len;
    SQHash _hash;
    char _val[1];
    static SQString *Create(SQSharedState *ss, const char *s, SQInteger len = -1);
    void Release() override;
};

struct SQWeakRef : public SQRefCounted {
    SQObject _obj;  // not owned
    void Release() override;
};

// hashing / key equality used by tables and sq_gethash: an integer is its own
// hash, a float hashes as its truncated value, a bool as 0/1, a string keeps the
// hash computed when it was interned, anything else hashes by address.
inline SQHash HashObj(const SQObject &key) {
    switch (key._type) {
        case OT_STRING: return key._unVal.pString->_hash;
        case OT_FLOAT: return (SQHash)FloatToInt(key._unVal.fFloat);
        case OT_BOOL:
        case OT_INTEGER: return (SQHash)key._unVal.nInteger;
        default: return (SQHash)((uintptr_t)key._unVal.pRefCounted >> 4);
    }
}
inline bool RawEq(const SQObject &a, const SQObject &b) { return a._type == b._type && a._unVal.raw == b._unVal.raw; }
// unwraps a weak reference stored in a container slot
inline const SQObject &RealVal(const SQObject &o);

struct SQDelegable : public SQCollectable {
    struct SQTable *_delegate = nullptr;  // owned reference
    bool SetDelegate(SQTable *t);
    bool GetMetaMethod(SQVM *v, int mm, SQObjectPtr &res);
    ~SQDelegable() override;
};

// Chained scatter table. The node array is a power of two (at least 4); a key
// lives at its main position hash & (size-1) or, after a collision, in a free
// node linked into the chain that starts there. Invariants:
//  - every key is reachable from its main position through `next` links;
//  - a deleted node keeps its `next` link (it may sit inside another chain);
//  - _firstfree points at a node with no key and no link, or nodes[0] is
//    exhausted; it only moves down, and the table is rebuilt when none is left.
// Iteration walks the nodes in array order, which is what scripts observe.
struct SQTable : public SQDelegable {
    struct Node {
        static void *operator new[](size_t size) { return sq_alloc(size); }
        static void operator delete[](void *p) noexcept { sq_dealloc(p); }
        SQObjectPtr val;
        SQObjectPtr key;
        Node *next = nullptr;
    };
    Node *_nodes = nullptr;
    SQInteger _numofnodes = 0;  // power of two
    Node *_firstfree = nullptr;
    SQInteger _usednodes = 0;  // live keys
    // Changes whenever a key is added or removed, a node moves or the delegate
    // changes; value writes keep it. Unique over the state's life, so a table
    // and its shape name a layout even after the table is freed and another
    // takes its address. Lookup caches hold nodes under it.
    uint64_t _shape = 0;
    void NewShape(SQSharedState *ss);
    static SQTable *Create(SQSharedState *ss, SQInteger ninitial);
    ~SQTable() override;
    void Release() override;
    void Finalize() override;
    void Mark(SQGCList &gray) override;
    SQTable *Clone();
    bool Get(const SQObject &key, SQObjectPtr &val) const;
    Node *MainPos(const SQObject &key) const { return &_nodes[HashObj(key) & (SQHash)(_numofnodes - 1)]; }
    // fast lookup by interned string
    Node *FindStr(const SQString *s) const {
        Node *n = &_nodes[s->_hash & (SQHash)(_numofnodes - 1)];
        do {
            if (n->key._unVal.pString == s && n->key._type == OT_STRING) return n;
            n = n->next;
        } while (n);
        return nullptr;
    }
    Node *Find(const SQObject &key) const;
    bool Set(const SQObject &key, const SQObject &val);  // only existing keys
    void NewSlot(const SQObject &key, const SQObject &val);
    bool Remove(const SQObject &key);
    void Clear();
    SQInteger CountUsed() const { return _usednodes; }
    // iteration: returns the node index >= idx holding a key, or -1
    SQInteger Next(SQInteger idx, SQObjectPtr &key, SQObjectPtr &val) const;

private:
    void AllocNodes(SQInteger size);
    void Rehash(bool force);
};

struct SQArray : public SQCollectable {
    sqvector<SQObjectPtr> _values;
    static SQArray *Create(SQSharedState *ss, SQInteger size);
    void Release() override;
    void Finalize() override;
    void Mark(SQGCList &gray) override;
    SQInteger Size() const { return (SQInteger)_values.size(); }
    SQArray *Clone();
    // throws SQArrayTooLarge when n elements would pass the state's cap
    void CheckSize(SQInteger n) const;
    inline void Append(const SQObject &o);  // sqstate.h
};

struct SQUserData : public SQDelegable {
    SQInteger _size = 0;
    SQRELEASEHOOK _hook = nullptr;
    SQUserPointer _typetag = nullptr;
    alignas(16) unsigned char _data[1];
    static SQUserData *Create(SQSharedState *ss, SQInteger size);
    void Release() override;
    void Finalize() override;
    void Mark(SQGCList &gray) override;
};

// local variable debug info
struct SQLocalVarInfo {
    SQObjectPtr _name;
    SQUnsignedInteger _start_op;
    SQUnsignedInteger _end_op;
    SQUnsignedInteger _pos;
};
struct SQLineInfo {
    SQInteger _line;
    SQInteger _op;
};
enum SQOuterType { otLOCAL = 0, otOUTER = 1 };
struct SQOuterVar {
    SQOuterType _type;
    SQObjectPtr _name;
    SQInteger _src;
};

struct SQInstruction;

// Where a bare name was last found when `this` did not hold it: in the root
// table, after a miss in `this` (a table without delegate, or through the
// members of an instance's class) and in the default delegate consulted in
// between. The node stands while all three tables keep their shapes and the
// root is still the one the function sees; it is read, so value writes to the
// global need no check.
struct SQEnvCache {
    SQTable *self = nullptr;
    uint64_t selfshape = 0;
    SQTable *root = nullptr;
    uint64_t rootshape = 0;
    uint64_t ddshape = 0;
    SQTable::Node *node = nullptr;
};

struct SQFunctionProto : public SQRefCounted {
    SQSharedState *_sharedstate = nullptr;
    sqvector<SQInstruction> _instructions;
    sqvector<SQObjectPtr> _literals;
    sqvector<SQObjectPtr> _functions;  // nested protos (OT_FUNCPROTO)
    sqvector<SQOuterVar> _outervalues;
    sqvector<SQLocalVarInfo> _localvarinfos;
    sqvector<SQLineInfo> _lineinfos;
    sqvector<SQObjectPtr> _parameters;  // names, this first
    SQObjectPtr _name;
    SQObjectPtr _sourcename;
    SQInteger _nparameters = 0;  // including this
    SQInteger _ndefaultparams = 0;
    SQInteger _stacksize = 0;
    SQInteger _varparams = 0;
    bool _bgenerator = false;
    // the argument count (this included) with which a call goes straight into a
    // new frame; -1 where every call needs the full set-up (varargs, generators)
    SQInteger _directnargs = -1;
    // one per literal, made at the first bare name that goes past `this`
    sqvector<SQEnvCache> _envcache;
    void Finish() { _directnargs = _varparams || _bgenerator ? -1 : _nparameters; }
    void Release() override;
    SQInteger GetLine(SQInteger op) const;
    const SQChar *GetLocal(SQUnsignedInteger op, SQUnsignedInteger seq, SQUnsignedInteger &reg) const;
};

struct SQOuter : public SQCollectable {
    SQObjectPtr *_valptr;  // points into a stack while open, at _value once closed
    SQInteger _idx = 0;    // absolute stack slot while open
    SQVM *_vm = nullptr;   // owning vm while open
    SQOuter *_nextopen = nullptr;
    struct SQGenerator *_gen = nullptr;  // suspended generator whose saved frame holds the value
    SQObjectPtr _value;
    static SQOuter *Create(SQSharedState *ss, SQObjectPtr *slot);
    void Release() override;
    void Finalize() override;
    void Mark(SQGCList &gray) override;
};

struct SQClass;

// A fixed run of values in the block of the object that holds it, right after
// the object itself. clear() drops them (what breaks cycles) and leaves the run
// empty; null values need no destructor, so nothing else ends them.
struct SQInlineValues {
    SQObjectPtr *_p = nullptr;
    size_t _n = 0;
    size_t size() const { return _n; }
    bool empty() const { return _n == 0; }
    SQObjectPtr &operator[](size_t i) { return _p[i]; }
    const SQObjectPtr &operator[](size_t i) const { return _p[i]; }
    SQObjectPtr *begin() { return _p; }
    SQObjectPtr *end() { return _p + _n; }
    const SQObjectPtr *begin() const { return _p; }
    const SQObjectPtr *end() const { return _p + _n; }
    void clear() {
        size_t n = _n;
        _n = 0;  // a release hook may look at the owner meanwhile
        for (size_t i = 0; i < n; i++) _p[i].Null();
    }
};

struct SQClosure : public SQCollectable {
    SQObjectPtr _function;        // OT_FUNCPROTO
    SQInlineValues _outervalues;  // OT_OUTER
    SQInlineValues _defaultparams;
    SQWeakRef *_env = nullptr;   // owned
    SQWeakRef *_root = nullptr;  // owned
    SQClass *_base = nullptr;    // owned: what `base` is inside (the base class of the method's class)
    static SQClosure *Create(SQSharedState *ss, SQFunctionProto *func, SQWeakRef *root);
    SQFunctionProto *Proto() const { return _function._unVal.pFunctionProto; }
    SQClosure *Clone();
    void SetEnv(SQWeakRef *w);
    void SetRoot(SQWeakRef *w);
    void SetBase(SQClass *c);
    ~SQClosure() override;
    void Release() override;
    void Finalize() override;
    void Mark(SQGCList &gray) override;
};

// A pure built-in's shortcut: computes the result from the arguments (this
// first) without a frame, or returns false to leave the call to the ordinary
// path (which then raises whatever error is due). It never raises, never runs
// script code and never touches the stack. The result is a plain value (no
// reference) stored over whatever res held, which the caller looks after.
typedef bool (*SQFASTFUNCTION)(const SQObject *args, SQInteger nargs, SQObject &res);

struct SQNativeClosure : public SQCollectable {
    SQFUNCTION _function = nullptr;
    SQFASTFUNCTION _fast = nullptr;
    sqvector<SQObjectPtr> _outervalues;
    sqvector<SQInteger> _typecheck;
    SQInteger _nparamscheck = 0;
    SQObjectPtr _name;
    SQWeakRef *_env = nullptr;
    static SQNativeClosure *Create(SQSharedState *ss, SQFUNCTION f, SQInteger nouters);
    SQNativeClosure *Clone();
    void SetEnv(SQWeakRef *w);
    ~SQNativeClosure() override;
    void Release() override;
    void Finalize() override;
    void Mark(SQGCList &gray) override;
};

enum SQGeneratorState { eRunning, eSuspended, eDead };
struct SQExceptionTrap {
    SQInteger _stackbase;  // frame base at trap time (absolute)
    SQInteger _stacksize;  // top at trap time (relative to base)
    SQInteger _ip;         // handler instruction index
    SQInteger _extarget;   // register for the caught value
    SQInteger _frame;      // index of the call frame owning the trap
};

struct SQGenerator : public SQCollectable {
    SQObjectPtr _closure;
    sqvector<SQObjectPtr> _stack;
    sqvector<SQExceptionTrap> _etraps;  // relative to frame
    SQInteger _ip = 0;
    SQGeneratorState _state = eSuspended;
    sqvector<SQOuter *> _outers;  // outers into _stack while suspended (not owned)
    static SQGenerator *Create(SQSharedState *ss, SQClosure *closure);
    void CloseOuters();
    ~SQGenerator() override;
    void Release() override;
    void Finalize() override;
    void Mark(SQGCList &gray) override;
};

// class member slot encoding stored in SQClass::_members
enum { MEMBER_FIELD = 0, MEMBER_METHOD = 1 };
inline SQInteger MemberIdx(SQInteger enc) { return enc >> 1; }
inline bool MemberIsField(SQInteger enc) { return (enc & 1) == MEMBER_FIELD; }

struct SQClassMember {
    SQObjectPtr val;
    SQObjectPtr attrs;
};

// clang-format off
enum SQMetaMethod {
    MT_ADD = 0, MT_SUB, MT_MUL, MT_DIV, MT_UNM, MT_MODULO, MT_SET, MT_GET, MT_TYPEOF,
    MT_NEXTI, MT_CMP, MT_CALL, MT_CLONED, MT_NEWSLOT, MT_DELSLOT, MT_TOSTRING,
    MT_NEWMEMBER, MT_INHERITED, MT_LAST
};
// clang-format on

struct SQInstance;
struct SQClass : public SQCollectable {
    SQTable *_members;  // name -> encoded member index
    SQClass *_base = nullptr;
    sqvector<SQClassMember> _defaultvalues;  // fields
    sqvector<SQClassMember> _methods;        // methods and statics
    SQObjectPtr _metamethods[MT_LAST];
    SQObjectPtr _attributes;
    SQObjectPtr _constructor;
    SQUserPointer _typetag = nullptr;
    SQRELEASEHOOK _hook = nullptr;
    SQInteger _udsize = 0;
    bool _locked = false;
    static SQClass *Create(SQSharedState *ss, SQClass *base);
    ~SQClass() override;
    void Release() override;
    void Finalize() override;
    void Mark(SQGCList &gray) override;
    bool NewSlot(SQSharedState *ss, const SQObject &key, const SQObject &val, bool bstatic);
    bool Get(const SQObject &key, SQObjectPtr &val) const;
    bool GetConstructor(SQObjectPtr &ctor) const;
    bool SetAttributes(const SQObject &key, const SQObject &val);
    bool GetAttributes(const SQObject &key, SQObjectPtr &outval) const;
    SQInstance *CreateInstance();
    SQInteger Next(SQInteger idx, SQObjectPtr &outkey, SQObjectPtr &outval) const;
};

struct SQInstance : public SQDelegable {
    SQClass *_class;
    SQUserPointer _userpointer = nullptr;
    SQRELEASEHOOK _hook = nullptr;
    SQInteger _memsize = 0;
    sqvector<SQObjectPtr> _values;
    unsigned char *_udbuf = nullptr;  // class udsize buffer
    static SQInstance *Create(SQSharedState *ss, SQClass *cls);
    SQInstance *Clone(SQSharedState *ss);
    ~SQInstance() override;
    void Release() override;
    void Finalize() override;
    void Mark(SQGCList &gray) override;
    bool Get(const SQObject &key, SQObjectPtr &val) const;
    bool Set(const SQObject &key, const SQObject &val);
    bool InstanceOf(const SQClass *trg) const;
    bool GetMetaMethod(int mm, SQObjectPtr &res) const;
    // the slot of a member found in the class's member table: a field of this
    // instance, or a method or static of the class
    const SQObjectPtr &Member(SQInteger enc) const {
        return MemberIsField(enc) ? _values[MemberIdx(enc)] : _class->_methods[MemberIdx(enc)].val;
    }
};

inline const SQObject &RealVal(const SQObject &o) {
    if (o._type == OT_WEAKREF) return o._unVal.pWeakRef->_obj;
    return o;
}

// Deletes a half-built object when its construction runs out of memory; the
// Create functions hand the object out with done().
template <class T>
struct SQBuildGuard {
    T *p;
    explicit SQBuildGuard(T *x) : p(x) {}
    SQBuildGuard(const SQBuildGuard &) = delete;
    ~SQBuildGuard() { delete p; }
    T *done() {
        T *r = p;
        p = nullptr;
        return r;
    }
};

// formats a number the way the language prints it (%d, %g); buf of 64 bytes or more.
// The two helpers return the length written.
void sq_formatnumber(const SQObject &o, char *buf, size_t bufsize);
SQInteger sq_formatinteger(SQInteger i, char *buf);
SQInteger sq_formatfloat(SQFloat f, char *buf, size_t bufsize);
