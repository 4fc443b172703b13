// Shared state: interned strings, global tables, and the cycle collector.
#include "sqstate.h"

#include <cstdlib>

#include "sqvm.h"

// clang-format off
static const char *const kMetaNames[MT_LAST] = {
    "_add", "_sub", "_mul", "_div", "_unm", "_modulo", "_set", "_get", "_typeof",
    "_nexti", "_cmp", "_call", "_cloned", "_newslot", "_delslot", "_tostring",
    "_newmember", "_inherited"};
// clang-format on

// The string hash: seeded with the length, mixing in at most ~32 bytes taken
// from the end. Tables place string keys by it, so it decides iteration order.
SQHash sq_hashstring(const char *s, SQInteger len) {
    SQHash h = (SQHash)len;
    SQInteger step = (len >> 5) + 1;
    for (SQInteger i = len; i >= step; i -= step) h ^= (h << 5) + (h >> 2) + (SQHash)(signed char)s[i - 1];
    return h;
}

void SQStringTable::Init() {
    _buckets = (SQString **)sq_alloc(256 * sizeof(SQString *));
    memset(_buckets, 0, 256 * sizeof(SQString *));
    _numbuckets = 256;
    _count = 0;
}

SQStringTable::~SQStringTable() {
    // strings still referenced from outside die with the table
    for (SQUnsignedInteger i = 0; i < _numbuckets; i++) {
        SQString *s = _buckets[i];
        while (s) {
            SQString *n = s->_next;
            s->~SQString();
            sq_dealloc(s);
            s = n;
        }
    }
    sq_dealloc(_buckets);
}

void SQStringTable::Resize(SQUnsignedInteger n) {
    SQString **nb = (SQString **)sq_alloc(n * sizeof(SQString *));
    memset(nb, 0, n * sizeof(SQString *));
    for (SQUnsignedInteger i = 0; i < _numbuckets; i++) {
        SQString *s = _buckets[i];
        while (s) {
            SQString *next = s->_next;
            SQUnsignedInteger b = s->_hash & (n - 1);
            s->_next = nb[b];
            nb[b] = s;
            s = next;
        }
    }
    sq_dealloc(_buckets);
    _buckets = nb;
    _numbuckets = n;
}

SQString *SQStringTable::AddConcat(SQSharedState *ss, const char *a, SQInteger alen, const char *b, SQInteger blen) {
    SQInteger len = alen + blen;
    if (len > ss->_maxstringlength) throw SQStringTooLong();
    ss->ChargeWork(len / kStringBytesPerInstruction);
    SQHash h = (SQHash)len;
    SQInteger step = (len >> 5) + 1;
    for (SQInteger i = len; i >= step; i -= step) {
        SQInteger j = i - 1;
        h ^= (h << 5) + (h >> 2) + (SQHash)(signed char)(j < alen ? a[j] : b[j - alen]);
    }
    SQUnsignedInteger bk = h & (_numbuckets - 1);
    for (SQString *str = _buckets[bk]; str; str = str->_next) {
        if (str->_hash == h && str->_len == len && memcmp(str->_val, a, (size_t)alen) == 0 &&
            memcmp(str->_val + alen, b, (size_t)blen) == 0)
            return str;
    }
    void *mem = sq_alloc(sizeof(SQString) + (size_t)len);
    SQString *str = new (mem) SQString();
    str->_ss = ss;
    str->_len = len;
    str->_hash = h;
    memcpy(str->_val, a, (size_t)alen);
    memcpy(str->_val + alen, b, (size_t)blen);
    str->_val[len] = 0;
    str->_next = _buckets[bk];
    _buckets[bk] = str;
    _count++;
    if (_count > _numbuckets) {
        try {
            Resize(_numbuckets * 2);
        } catch (const std::bad_alloc &) {
            // longer chains until the next try
        }
    }
    return str;
}

SQString *SQStringTable::Add(SQSharedState *ss, const char *s, SQInteger len) {
    if (len > ss->_maxstringlength) throw SQStringTooLong();
    ss->ChargeWork(len / kStringBytesPerInstruction);
    SQHash h = sq_hashstring(s, len);
    SQUnsignedInteger b = h & (_numbuckets - 1);
    for (SQString *str = _buckets[b]; str; str = str->_next) {
        if (str->_hash == h && str->_len == len && memcmp(str->_val, s, (size_t)len) == 0) return str;
    }
    void *mem = sq_alloc(sizeof(SQString) + (size_t)len);
    SQString *str = new (mem) SQString();
    str->_ss = ss;
    str->_len = len;
    str->_hash = h;
    memcpy(str->_val, s, (size_t)len);
    str->_val[len] = 0;
    str->_next = _buckets[b];
    _buckets[b] = str;
    _count++;
    if (_count > _numbuckets) {
        try {
            Resize(_numbuckets * 2);
        } catch (const std::bad_alloc &) {
            // longer chains until the next try
        }
    }
    return str;
}

void SQStringTable::Remove(SQString *str) {
    SQUnsignedInteger b = str->_hash & (_numbuckets - 1);
    SQString **pp = &_buckets[b];
    while (*pp) {
        if (*pp == str) {
            *pp = str->_next;
            _count--;
            str->~SQString();
            sq_dealloc(str);
            return;
        }
        pp = &(*pp)->_next;
    }
}

SQSharedState::SQSharedState() { _stringtable.Init(); }

void SQSharedState::Init(SQVM *rootvm) {
    _rootvm = rootvm;
    _metamethodsmap = SQObjectPtr(OT_TABLE, SQTable::Create(this, MT_LAST));
    for (int i = 0; i < MT_LAST; i++) {
        _metamethodnames[i] = MakeString(kMetaNames[i]);
        _table(_metamethodsmap)->NewSlot(_metamethodnames[i], SQObjectPtr((SQInteger)i));
    }
    _constructoridx = MakeString("constructor");
    _registry = SQObjectPtr(OT_TABLE, SQTable::Create(this, 0));
    _consts = SQObjectPtr(OT_TABLE, SQTable::Create(this, 0));
    _roottable = SQObjectPtr(OT_TABLE, SQTable::Create(this, 0));
}

SQSharedState::~SQSharedState() {}

int SQSharedState::GetMetaMethodIdx(const SQObject &name) const {
    if (name._type != OT_STRING) return -1;
    SQTable::Node *n = _table(_metamethodsmap)->FindStr(name._unVal.pString);
    return n ? (int)_integer(n->val) : -1;
}

SQInteger SQSharedState::CollectGarbage(SQVM *vm, SQObjectPtr *resurrected) {
    SQGCList gray;
    if (!_closing) {
        sq_markobj(_roottable, gray);
        sq_markobj(_registry, gray);
        sq_markobj(_consts, gray);
        sq_markobj(_metamethodsmap, gray);
        sq_markobj(_errorhandler, gray);
        sq_markobj(_debughook_closure, gray);
        SQObjectPtr *dd[] = {&_table_default_delegate,  &_array_default_delegate,   &_string_default_delegate,
                             &_number_default_delegate, &_closure_default_delegate, &_generator_default_delegate,
                             &_thread_default_delegate, &_class_default_delegate,   &_instance_default_delegate,
                             &_weakref_default_delegate};
        for (auto *d : dd) sq_markobj(*d, gray);
        for (auto &r : _refs) sq_markobj(r.second.obj, gray);
        if (_rootvm && !_rootvm->_marked) {
            _rootvm->_marked = true;
            gray.push_back(_rootvm);
        }
        if (vm && !vm->_marked) {
            vm->_marked = true;
            gray.push_back(vm);
        }
        while (!gray.empty()) {
            SQCollectable *c = gray.back();
            gray.pop_back();
            c->Mark(gray);
        }
    }
    std::vector<SQCollectable *> garbage;
    for (SQCollectable *c = _gcchain; c; c = c->_gcnext) {
        if (c->_marked)
            c->_marked = false;
        else
            garbage.push_back(c);
    }
    SQInteger n = (SQInteger)garbage.size();
    if (resurrected) {
        if (n == 0) {
            resurrected->Null();
            return 0;
        }
        SQArray *a = SQArray::Create(this, 0);
        for (SQCollectable *c : garbage)
            if (c->_gctype != OT_OUTER) a->_values.push_back(SQObjectPtr(c->_gctype, c));
        *resurrected = SQObjectPtr(OT_ARRAY, a);
        return n;
    }
    for (SQCollectable *c : garbage) c->_uiRef++;
    for (SQCollectable *c : garbage) c->Finalize();
    for (SQCollectable *c : garbage)
        if (--c->_uiRef == 0) c->Release();
    return n;
}
