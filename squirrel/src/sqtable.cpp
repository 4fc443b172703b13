// Insertion-ordered hash table with cached string hashes. Entries are stored
// densely (iteration walks them in insertion order); an index of int32 slots
// with linear probing maps hashes to entries. Deleted entries become
// tombstones (null key with raw value 1) until the next rehash compacts them.
#include "sqstate.h"

static inline bool IsTomb(const SQObject &k) { return k._type == OT_NULL; }

SQTable *SQTable::Create(SQSharedState *ss, SQInteger ninitial) {
    SQTable *t = new SQTable();
    if (ninitial > (1 << 24)) ninitial = 1 << 24;
    if (ninitial > 0) t->Rehash(ninitial);
    t->Link(ss, OT_TABLE);
    return t;
}

SQTable::~SQTable() {
    delete[] _nodes;
    delete[] _index;
    _nodes = nullptr;
    _index = nullptr;
}

void SQTable::Release() { delete this; }

void SQTable::Finalize() {
    Clear();
    SetDelegate(nullptr);
}

void SQTable::Mark(SQGCList &gray) {
    if (_delegate) sq_markobj(SQObjectPtr(OT_TABLE, (SQRefCounted *)_delegate), gray);
    for (SQInteger i = 0; i < _used; i++) {
        Node &n = _nodes[i];
        if (!IsTomb(n.key)) {
            sq_markobj(n.key, gray);
            sq_markobj(n.val, gray);
        }
    }
}

void SQTable::Rehash(SQInteger newcapacity) {
    if (newcapacity < _count) newcapacity = _count;
    if (newcapacity < 4) newcapacity = 4;
    SQInteger isize = 8;
    while (isize < newcapacity * 2) isize <<= 1;
    Node *nn = new Node[(size_t)newcapacity];
    int32_t *ni = new int32_t[(size_t)isize];
    for (SQInteger i = 0; i < isize; i++) ni[i] = IDX_EMPTY;
    SQInteger n = 0;
    SQHash mask = (SQHash)isize - 1;
    for (SQInteger i = 0; i < _used; i++) {
        Node &o = _nodes[i];
        if (IsTomb(o.key)) continue;
        SQHash j = HashObj(o.key) & mask;
        while (ni[j] != IDX_EMPTY) j = (j + 1) & mask;
        ni[j] = (int32_t)n;
        nn[n].key = std::move(o.key);
        nn[n].val = std::move(o.val);
        n++;
    }
    delete[] _nodes;
    delete[] _index;
    _nodes = nn;
    _index = ni;
    _numnodes = newcapacity;
    _indexsize = isize;
    _used = n;
    _count = n;
}

SQTable::Node *SQTable::Find(const SQObject &key) const {
    if (key._type == OT_STRING) return FindStr(key._unVal.pString);
    if (!_count) return nullptr;
    SQHash mask = (SQHash)_indexsize - 1;
    SQHash i = HashObj(key) & mask;
    for (;;) {
        int32_t e = _index[i];
        if (e >= 0) {
            Node &n = _nodes[e];
            if (n.key._type == key._type && n.key._unVal.raw == key._unVal.raw) return &n;
        } else if (e == IDX_EMPTY) {
            return nullptr;
        }
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
    if (_used >= _numnodes) Rehash(_count < 4 ? 4 : _count * 2);
    SQHash mask = (SQHash)_indexsize - 1;
    SQHash i = HashObj(key) & mask;
    while (_index[i] >= 0) i = (i + 1) & mask;
    _index[i] = (int32_t)_used;
    Node &slot = _nodes[_used++];
    slot.key = key;
    slot.val = val;
    _count++;
}

bool SQTable::Remove(const SQObject &key) {
    if (!_count) return false;
    SQHash mask = (SQHash)_indexsize - 1;
    SQHash i = HashObj(key) & mask;
    for (;;) {
        int32_t e = _index[i];
        if (e == IDX_EMPTY) return false;
        if (e >= 0) {
            Node &n = _nodes[e];
            if (n.key._type == key._type && n.key._unVal.raw == key._unVal.raw) {
                _index[i] = IDX_DELETED;
                n.key.Null();
                n.key._unVal.raw = 1;
                n.val.Null();
                _count--;
                if (_count == 0) Clear();
                return true;
            }
        }
        i = (i + 1) & mask;
    }
}

void SQTable::Clear() {
    for (SQInteger i = 0; i < _used; i++) {
        _nodes[i].key.Null();
        _nodes[i].val.Null();
    }
    for (SQInteger i = 0; i < _indexsize; i++) _index[i] = IDX_EMPTY;
    _count = 0;
    _used = 0;
}

SQInteger SQTable::Next(SQInteger idx, SQObjectPtr &key, SQObjectPtr &val) const {
    for (SQInteger i = idx; i < _used; i++) {
        if (!IsTomb(_nodes[i].key)) {
            key = _nodes[i].key;
            val = RealVal(_nodes[i].val);
            return i;
        }
    }
    return -1;
}

SQTable *SQTable::Clone() {
    SQTable *t = Create(_sharedstate, _count);
    for (SQInteger i = 0; i < _used; i++)
        if (!IsTomb(_nodes[i].key)) t->NewSlot(_nodes[i].key, _nodes[i].val);
    t->SetDelegate(_delegate);
    return t;
}
