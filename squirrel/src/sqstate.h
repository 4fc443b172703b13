// State shared by a VM and all its threads: string table, root/registry/const
// tables, default delegates, the collectable chain and the host callbacks.
#pragma once
#include "sqobject.h"

#include <unordered_map>

struct SQStringTable {
    SQString **_buckets = nullptr;
    SQUnsignedInteger _numbuckets = 0;
    SQUnsignedInteger _count = 0;
    void Init();
    ~SQStringTable();
    SQString *Add(SQSharedState *ss, const char *s, SQInteger len);
    SQString *AddConcat(SQSharedState *ss, const char *a, SQInteger alen, const char *b, SQInteger blen);
    void Remove(SQString *s);
    void Resize(SQUnsignedInteger n);
};

SQHash sq_hashstring(const char *s, SQInteger len);

// bytes copied into a new string per instruction charged to the budget
constexpr SQInteger kStringBytesPerInstruction = 16;

struct SQRefEntry {
    SQObjectPtr obj;
    SQUnsignedInteger refs;
};

struct SQSharedState {
    static void *operator new(size_t size) { return sq_alloc(size); }
    static void operator delete(void *p) noexcept { sq_dealloc(p); }
    SQSharedState();
    ~SQSharedState();
    void Init(SQVM *rootvm);

    SQStringTable _stringtable;
    SQCollectable *_gcchain = nullptr;
    std::unordered_map<SQRefCounted *, SQRefEntry> _refs;  // sq_addref handles
    SQObjectPtr _roottable;
    SQObjectPtr _registry;
    SQObjectPtr _consts;
    SQObjectPtr _metamethodnames[MT_LAST];
    SQObjectPtr _metamethodsmap;  // name -> index
    SQObjectPtr _constructoridx;
    // default delegates
    SQObjectPtr _table_default_delegate;
    SQObjectPtr _array_default_delegate;
    SQObjectPtr _string_default_delegate;
    SQObjectPtr _number_default_delegate;
    SQObjectPtr _closure_default_delegate;
    SQObjectPtr _generator_default_delegate;
    SQObjectPtr _thread_default_delegate;
    SQObjectPtr _class_default_delegate;
    SQObjectPtr _instance_default_delegate;
    SQObjectPtr _weakref_default_delegate;

    // hands out table shapes (SQTable::_shape); never repeats a value
    uint64_t _shapeclock = 0;

    SQObjectPtr _errorhandler;
    SQObjectPtr _debughook_closure;
    SQDEBUGHOOK _debughook_native = nullptr;
    bool _debughook = false;
    SQCOMPILERERROR _compilererrorhandler = nullptr;
    SQPRINTFUNCTION _printfunc = nullptr;
    SQPRINTFUNCTION _errorfunc = nullptr;
    bool _debuginfo = false;
    bool _notifyallexceptions = false;
    SQUserPointer _foreignptr = nullptr;
    SQRELEASEHOOK _releasehook = nullptr;
    SQInteger _instructionlimit = 0;  // 0 = unlimited; remaining budget otherwise
    bool _limited = false;
    bool _hooksactive = false;  // _limited || _debughook, checked per instruction
    void UpdateHooks() { _hooksactive = _limited || _debughook; }
    // Bulk work done inside one instruction (bytes copied into a new string,
    // array slots filled or moved) counts against the budget too, so that a
    // loop whose values grow runs out of budget in time bounded by the work.
    void ChargeWork(SQInteger units) {
        if (_limited) _instructionlimit -= units;
    }
    SQInteger _maxstringlength = SQ_DEFAULT_MAX_STRING_LENGTH;  // bytes; see sq_setmaxstringlength
    SQInteger _maxarraysize = SQ_DEFAULT_MAX_ARRAY_SIZE;        // elements; see sq_setmaxarraysize
    bool _closing = false;
    SQVM *_rootvm = nullptr;
    sqvector<char> _scratchpad;

    SQObjectPtr MakeString(const char *s, SQInteger len = -1) {
        return SQObjectPtr(OT_STRING, SQString::Create(this, s, len));
    }
    SQInteger CollectGarbage(SQVM *vm, SQObjectPtr *resurrected);
    // metamethod index for a name, -1 if none
    int GetMetaMethodIdx(const SQObject &name) const;
};

// appends o; raises "array too large" (SQArrayTooLarge) at the state's cap
inline void SQArray::Append(const SQObject &o) {
    if (__builtin_expect(Size() >= _sharedstate->_maxarraysize, 0)) CheckSize(Size() + 1);
    _values.push_back(o);
}
