// The chained scatter table (see SQTable in sqobject.h for its invariants).
// Node placement, the free pointer and the growth rules decide the order in
// which scripts see the keys, so they follow one fixed scheme:
//  - a new key takes its main position when that node has no key;
//  - otherwise, if the key living there is not in its own main position, that
//    key moves to the free node and the new key takes its place; else the new
//    key goes to the free node, linked right after the main position;
//  - after every insertion the free pointer moves down to a node with neither
//    key nor link; when it runs past node 0 the table is rebuilt from the key
//    count before that insertion: doubled at 3/4 full, halved at 1/4 or less
//    (never below 4 nodes), else the same size, and every key is inserted
//    again in the old node order;
//  - deleting clears a node but keeps its link, and halves the table when the
//    count falls to a quarter.
#include "sqstate.h"

static inline bool KeyEq(const SQObject &a, const SQObject &b) {
    return a._type == b._type && a._unVal.raw == b._unVal.raw;
}

static SQInteger NodeCountFor(SQInteger n) {
    SQInteger size = 4;
    while (size < n) size <<= 1;
    return size;
}

SQTable *SQTable::Create(SQSharedState *ss, SQInteger ninitial) {
    SQTable *t = new SQTable();
    if (ninitial > (1 << 24)) ninitial = 1 << 24;
    try {
        t->AllocNodes(NodeCountFor(ninitial));
    } catch (...) {
        delete t;
        throw;
    }
    t->Link(ss, OT_TABLE);
    t->NewShape(ss);
    return t;
}

void SQTable::NewShape(SQSharedState *ss) { _shape = ++ss->_shapeclock; }

void SQTable::AllocNodes(SQInteger size) {
    _nodes = new Node[(size_t)size];
    _numofnodes = size;
    _firstfree = &_nodes[size - 1];
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
    for (SQInteger i = 0; i < _numofnodes; i++) {
        Node &n = _nodes[i];
        if (n.key._type != OT_NULL) {
            sq_markobj(n.key, gray);
            sq_markobj(n.val, gray);
        }
    }
}

void SQTable::Rehash(bool force) {
    SQInteger oldsize = _numofnodes;
    SQInteger nelems = _usednodes;
    SQInteger newsize;
    if (nelems >= oldsize - oldsize / 4)
        newsize = oldsize * 2;
    else if (nelems <= oldsize / 4 && oldsize > 4)
        newsize = oldsize / 2;
    else if (force)
        newsize = oldsize;
    else
        return;
    Node *old = _nodes, *oldfree = _firstfree;
    AllocNodes(newsize);
    _usednodes = 0;
    try {
        for (SQInteger i = 0; i < oldsize; i++) {
            Node &o = old[i];
            if (o.key._type != OT_NULL) NewSlot(o.key, o.val);
        }
    } catch (...) {
        // out of memory in a nested rebuild: back to the table as it was
        delete[] _nodes;
        _nodes = old;
        _numofnodes = oldsize;
        _firstfree = oldfree;
        _usednodes = nelems;
        throw;
    }
    delete[] old;
}

SQTable::Node *SQTable::Find(const SQObject &key) const {
    if (key._type == OT_STRING) return FindStr(key._unVal.pString);
    if (key._type == OT_NULL) return nullptr;
    Node *n = MainPos(key);
    do {
        if (KeyEq(n->key, key)) return n;
        n = n->next;
    } while (n);
    return nullptr;
}

bool SQTable::Get(const SQObject &key, SQObjectPtr &val) const {
    if (key._type == OT_NULL) return false;
    Node *n = Find(key);
    if (!n) return false;
    val = RealVal(n->val);
    return true;
}

bool SQTable::Set(const SQObject &key, const SQObject &val) {
    if (key._type == OT_NULL) return false;
    Node *n = Find(key);
    if (!n) return false;
    n->val = val;
    return true;
}

void SQTable::NewSlot(const SQObject &key, const SQObject &val) {
    Node *mp = MainPos(key);
    for (Node *n = mp; n; n = n->next)
        if (KeyEq(n->key, key)) {
            n->val = val;
            return;
        }
    NewShape(_sharedstate);
    if (mp->key._type != OT_NULL && (_firstfree->key._type != OT_NULL || _firstfree->next)) {
        // no free node: only after a rebuild ran out of memory
        SQObjectPtr k(key), v(val);
        Rehash(true);
        NewSlot(k, v);
        return;
    }
    if (mp->key._type != OT_NULL) {
        Node *f = _firstfree;
        Node *othern = MainPos(mp->key);
        if (othern != mp) {
            // the key at mp is a guest there: move it to the free node
            while (othern->next != mp) othern = othern->next;
            othern->next = f;
            f->key = std::move(mp->key);
            f->val = std::move(mp->val);
            f->next = mp->next;
            mp->next = nullptr;
        } else {
            f->next = mp->next;
            mp->next = f;
            mp = f;
        }
    }
    mp->key = key;
    mp->val = val;
    for (;;) {
        if (_firstfree->key._type == OT_NULL && !_firstfree->next) {
            _usednodes++;
            return;
        }
        if (_firstfree == _nodes) break;
        _firstfree--;
    }
    // no free node left: rebuild (the new key is re-inserted with the others)
    SQObjectPtr k(key), v(val);
    try {
        Rehash(true);
    } catch (...) {
        // the insertion did not happen
        if (Node *n = Find(k)) {
            n->key.Null();
            n->val.Null();
        }
        throw;
    }
    NewSlot(k, v);
}

bool SQTable::Remove(const SQObject &key) {
    Node *n = Find(key);
    if (!n) return false;
    NewShape(_sharedstate);
    n->key.Null();
    n->val.Null();
    _usednodes--;
    if (_usednodes <= _numofnodes / 4 && _numofnodes > 4) Rehash(false);
    return true;
}

void SQTable::Clear() {
    NewShape(_sharedstate);
    for (SQInteger i = 0; i < _numofnodes; i++) {
        _nodes[i].key.Null();
        _nodes[i].val.Null();
        _nodes[i].next = nullptr;
    }
    _firstfree = &_nodes[_numofnodes - 1];
    _usednodes = 0;
}

SQInteger SQTable::Next(SQInteger idx, SQObjectPtr &key, SQObjectPtr &val) const {
    for (SQInteger i = idx < 0 ? 0 : idx; i < _numofnodes; i++) {
        if (_nodes[i].key._type != OT_NULL) {
            key = _nodes[i].key;
            val = RealVal(_nodes[i].val);
            return i;
        }
    }
    return -1;
}

SQTable *SQTable::Clone() {
    // a node-for-node copy: the clone iterates in the same order
    SQTable *t = new SQTable();
    try {
        t->AllocNodes(_numofnodes);
    } catch (...) {
        delete t;
        throw;
    }
    for (SQInteger i = 0; i < _numofnodes; i++) {
        t->_nodes[i].key = _nodes[i].key;
        t->_nodes[i].val = _nodes[i].val;
        t->_nodes[i].next = _nodes[i].next ? t->_nodes + (_nodes[i].next - _nodes) : nullptr;
    }
    t->_firstfree = t->_nodes + (_firstfree - _nodes);
    t->_usednodes = _usednodes;
    t->Link(_sharedstate, OT_TABLE);
    t->NewShape(_sharedstate);
    t->SetDelegate(_delegate);
    return t;
}
