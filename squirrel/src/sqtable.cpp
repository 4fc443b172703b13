// Hash table with open addressing (linear probing) and cached string hashes.
// A deleted slot keeps a tombstone key (null with raw value 1) so probe chains
// stay intact; tombstones are dropped by the next rehash.
#include "sqstate.h"

static inline bool IsEmpty(const SQObject &k) { return k._type == OT_NULL && k._unVal.raw == 0; }
static inline bool IsTomb(const SQObject &k) { return k._type == OT_NULL && k._unVal.raw == 1; }

SQTable *SQTable::Create(SQSharedState *ss, SQInteger ninitial) {
    SQTable *t = new SQTable();
    if (ninitial > 0) {
        SQInteger n = 4;
        while (n < ninitial * 2) n <<= 1;
        t->Rehash(n);
    }
    t->Link(ss, OT_TABLE);
    return t;
}

SQTable::~SQTable() {
    delete[] _nodes;
    _nodes = nullptr;
}

void SQTable::Release() { delete this; }

void SQTable::Finalize() {
    Clear();
    SetDelegate(nullptr);
}

void SQTable::Mark(SQGCList &gray) {
    if (_delegate) sq_markobj(SQObjectPtr(OT_TABLE, (SQRefCounted *)_delegate), gray);
    for (SQInteger i = 0; i < _numnodes; i++) {
        Node &n = _nodes[i];
        if (n.key._type != OT_NULL) {
            sq_markobj(n.key, gray);
            sq_markobj(n.val, gray);
        }
    }
}

void SQTable::Rehash(SQInteger newsize) {
    Node *old = _nodes;
    SQInteger oldn = _numnodes;
    _nodes = new Node[(size_t)newsize];
    _numnodes = newsize;
    _count = 0;
    _used = 0;
    for (SQInteger i = 0; i < oldn; i++) {
        Node &n = old[i];
        if (n.key._type != OT_NULL) {
            SQHash mask = _numnodes - 1;
            SQHash j = HashObj(n.key) & mask;
            while (!IsEmpty(_nodes[j].key)) j = (j + 1) & mask;
            _nodes[j].key = std::move(n.key);
            _nodes[j].val = std::move(n.val);
            _count++;
            _used++;
        }
    }
    delete[] old;
}

SQTable::Node *SQTable::Find(const SQObject &key) const {
    if (key._type == OT_STRING) return FindStr(key._unVal.pString);
    if (!_numnodes) return nullptr;
    SQHash mask = _numnodes - 1;
    SQHash i = HashObj(key) & mask;
    for (;;) {
        Node &n = _nodes[i];
        if (n.key._type == key._type && n.key._unVal.raw == key._unVal.raw) return &n;
        if (IsEmpty(n.key)) return nullptr;
        i = (i + 1) & mask;
    }
}

bool SQTable::Get(const SQObject &key, SQObjectPtr &val) const {
    Node *n = Find(key);
    if (!n) return false;
    val = RealVal(n->val);
    return true;
}

bool SQTable::Set(const SQObject &key, const SQObject &val) {
    Node *n = Find(key);
    if (!n) return false;
    n->val = val;
    return true;
}

void SQTable::NewSlot(const SQObject &key, const SQObject &val) {
    Node *n = Find(key);
    if (n) {
        n->val = val;
        return;
    }
    if ((_used + 1) * 4 > _numnodes * 3) {
        SQInteger ns = 4;
        while (ns < (_count + 1) * 2) ns <<= 1;
        Rehash(ns);
    }
    SQHash mask = _numnodes - 1;
    SQHash i = HashObj(key) & mask;
    while (_nodes[i].key._type != OT_NULL) i = (i + 1) & mask;
    Node &slot = _nodes[i];
    if (IsEmpty(slot.key)) _used++;
    slot.key = key;
    slot.val = val;
    _count++;
}

bool SQTable::Remove(const SQObject &key) {
    Node *n = Find(key);
    if (!n) return false;
    n->key.Null();
    n->key._unVal.raw = 1;  // tombstone
    n->val.Null();
    _count--;
    return true;
}

void SQTable::Clear() {
    for (SQInteger i = 0; i < _numnodes; i++) {
        _nodes[i].key.Null();
        _nodes[i].val.Null();
    }
    _count = 0;
    _used = 0;
}

SQInteger SQTable::Next(SQInteger idx, SQObjectPtr &key, SQObjectPtr &val) const {
    for (SQInteger i = idx; i < _numnodes; i++) {
        if (_nodes[i].key._type != OT_NULL) {
            key = _nodes[i].key;
            val = RealVal(_nodes[i].val);
            return i;
        }
    }
    return -1;
}

SQTable *SQTable::Clone() {
    SQTable *t = Create(_sharedstate, 0);
    if (_numnodes) {
        t->Rehash(_numnodes);
        for (SQInteger i = 0; i < _numnodes; i++)
            if (_nodes[i].key._type != OT_NULL) t->NewSlot(_nodes[i].key, _nodes[i].val);
    }
    t->SetDelegate(_delegate);
    return t;
}
