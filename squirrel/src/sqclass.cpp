// Classes and class instances. A class maps member names to slots: fields are
// copied into each instance, methods and statics are shared by the class.
#include "sqstate.h"

SQClass *SQClass::Create(SQSharedState *ss, SQClass *base) {
    SQBuildGuard<SQClass> g(new SQClass());
    SQClass *c = g.p;
    c->_members = nullptr;
    if (base) {
        c->_members = base->_members->Clone();
        c->_members->_uiRef++;
        c->_defaultvalues = base->_defaultvalues;
        c->_methods = base->_methods;
        for (int i = 0; i < MT_LAST; i++) c->_metamethods[i] = base->_metamethods[i];
        c->_constructor = base->_constructor;
        c->_udsize = base->_udsize;
        c->_hook = base->_hook;
        c->_base = base;
        base->_uiRef++;
    } else {
        c->_members = SQTable::Create(ss, 0);
        c->_members->_uiRef++;
    }
    c->Link(ss, OT_CLASS);
    return g.done();
}

SQClass::~SQClass() {
    if (_members && --_members->_uiRef == 0) _members->Release();
    _members = nullptr;
    SQClass *b = _base;
    _base = nullptr;
    if (b && --b->_uiRef == 0) b->Release();
}

void SQClass::Release() {
    if (_hook) {
        SQRELEASEHOOK h = _hook;
        _hook = nullptr;
        _uiRef++;
        h((SQUserPointer)this, 0);
        _uiRef--;
    }
    delete this;
}

void SQClass::Finalize() {
    _attributes.Null();
    _defaultvalues.clear();
    _methods.clear();
    for (auto &m : _metamethods) m.Null();
    _constructor.Null();
    if (_members) _members->Clear();
    SQClass *b = _base;
    _base = nullptr;
    if (b && --b->_uiRef == 0) b->Release();
}

void SQClass::Mark(SQGCList &gray) {
    if (_members) sq_markobj(SQObjectPtr(OT_TABLE, (SQRefCounted *)_members), gray);
    if (_base) sq_markobj(SQObjectPtr(OT_CLASS, (SQRefCounted *)_base), gray);
    sq_markobj(_attributes, gray);
    sq_markobj(_constructor, gray);
    for (auto &m : _defaultvalues) {
        sq_markobj(m.val, gray);
        sq_markobj(m.attrs, gray);
    }
    for (auto &m : _methods) {
        sq_markobj(m.val, gray);
        sq_markobj(m.attrs, gray);
    }
    for (auto &m : _metamethods) sq_markobj(m, gray);
}

// Metamethods (a function under a metamethod name) are kept apart: they are no
// members, so lookups, `in` and iteration never see them. A script function
// stored as a member of a class that has a base is stored as a copy whose
// `base` is that base class; in a class without a base it is stored as it is.
bool SQClass::NewSlot(SQSharedState *ss, const SQObject &key, const SQObject &val, bool bstatic) {
    bool isfunc = val._type == OT_CLOSURE || val._type == OT_NATIVECLOSURE;
    if (isfunc && key._type == OT_STRING) {
        int mm = ss->GetMetaMethodIdx(key);
        if (mm >= 0) {
            _metamethods[mm] = val;
            return true;
        }
    }
    if (_locked && !isfunc && !bstatic) return false;
    SQObjectPtr v(val);
    if (val._type == OT_CLOSURE && _base) {
        SQClosure *c = _closure(val)->Clone();
        v = SQObjectPtr(OT_CLOSURE, c);
        c->SetBase(_base);
    }
    SQTable::Node *n = _members->Find(key);
    if (n) {
        SQInteger enc = _integer(n->val);
        if (MemberIsField(enc) && !(isfunc || bstatic)) {
            _defaultvalues[MemberIdx(enc)].val = v;
            return true;
        }
        if (!MemberIsField(enc)) {
            _methods[MemberIdx(enc)].val = v;
        } else {
            // a field becomes a method
            _methods.push_back({v, _defaultvalues[MemberIdx(enc)].attrs});
            n->val = SQObjectPtr((SQInteger)(((SQInteger)(_methods.size() - 1) << 1) | MEMBER_METHOD));
        }
    } else if (isfunc || bstatic) {
        _methods.push_back({v, SQObjectPtr()});
        _members->NewSlot(key, SQObjectPtr((SQInteger)(((SQInteger)(_methods.size() - 1) << 1) | MEMBER_METHOD)));
    } else {
        _defaultvalues.push_back({v, SQObjectPtr()});
        _members->NewSlot(key, SQObjectPtr((SQInteger)(((SQInteger)(_defaultvalues.size() - 1) << 1) | MEMBER_FIELD)));
    }
    if (isfunc && RawEq(key, ss->_constructoridx)) _constructor = v;
    return true;
}

bool SQClass::Get(const SQObject &key, SQObjectPtr &val) const {
    SQTable::Node *n = _members->Find(key);
    if (!n) return false;
    SQInteger enc = _integer(n->val);
    if (MemberIsField(enc))
        val = RealVal(_defaultvalues[MemberIdx(enc)].val);
    else
        val = RealVal(_methods[MemberIdx(enc)].val);
    return true;
}

bool SQClass::GetConstructor(SQObjectPtr &ctor) const {
    if (_constructor._type == OT_NULL) return false;
    ctor = _constructor;
    return true;
}

bool SQClass::SetAttributes(const SQObject &key, const SQObject &val) {
    SQTable::Node *n = _members->Find(key);
    if (!n) return false;
    SQInteger enc = _integer(n->val);
    if (MemberIsField(enc))
        _defaultvalues[MemberIdx(enc)].attrs = val;
    else
        _methods[MemberIdx(enc)].attrs = val;
    return true;
}

bool SQClass::GetAttributes(const SQObject &key, SQObjectPtr &outval) const {
    SQTable::Node *n = _members->Find(key);
    if (!n) return false;
    SQInteger enc = _integer(n->val);
    outval = MemberIsField(enc) ? _defaultvalues[MemberIdx(enc)].attrs : _methods[MemberIdx(enc)].attrs;
    return true;
}

SQInstance *SQClass::CreateInstance() {
    _locked = true;
    return SQInstance::Create(_sharedstate, this);
}

SQInteger SQClass::Next(SQInteger idx, SQObjectPtr &outkey, SQObjectPtr &outval) const {
    SQObjectPtr enc;
    SQInteger r = _members->Next(idx, outkey, enc);
    if (r < 0) return r;
    SQInteger e = _integer(enc);
    outval = MemberIsField(e) ? RealVal(_defaultvalues[MemberIdx(e)].val) : RealVal(_methods[MemberIdx(e)].val);
    return r;
}

// ------------------------------------------------------------ instances

SQInstance *SQInstance::Create(SQSharedState *ss, SQClass *cls) {
    SQBuildGuard<SQInstance> g(new SQInstance());
    SQInstance *i = g.p;
    i->_class = cls;
    cls->_uiRef++;
    i->_values.reserve(cls->_defaultvalues.size());
    for (auto &m : cls->_defaultvalues) i->_values.push_back(m.val);
    if (cls->_udsize > 0) {
        i->_memsize = cls->_udsize;
        i->_udbuf = (unsigned char *)sq_alloc((size_t)cls->_udsize);
        memset(i->_udbuf, 0, (size_t)cls->_udsize);
        i->_userpointer = i->_udbuf;
    }
    i->_hook = cls->_hook;
    i->Link(ss, OT_INSTANCE);
    return g.done();
}

SQInstance *SQInstance::Clone(SQSharedState *ss) {
    SQBuildGuard<SQInstance> g(Create(ss, _class));
    SQInstance *i = g.p;
    i->_values = _values;
    if (_udbuf && _memsize > 0)
        memcpy(i->_udbuf, _udbuf, (size_t)_memsize);
    else
        i->_userpointer = _userpointer;
    return g.done();
}

SQInstance::~SQInstance() {
    sq_dealloc(_udbuf);
    SQClass *c = _class;
    _class = nullptr;
    if (c && --c->_uiRef == 0) c->Release();
}

void SQInstance::Release() {
    if (_hook) {
        SQRELEASEHOOK h = _hook;
        _hook = nullptr;
        _uiRef++;
        h(_userpointer, _memsize);
        _uiRef--;
    }
    delete this;
}

void SQInstance::Finalize() {
    _values.clear();
    SetDelegate(nullptr);
}

void SQInstance::Mark(SQGCList &gray) {
    if (_class) sq_markobj(SQObjectPtr(OT_CLASS, (SQRefCounted *)_class), gray);
    for (auto &v : _values) sq_markobj(v, gray);
}

bool SQInstance::Get(const SQObject &key, SQObjectPtr &val) const {
    SQTable::Node *n = _class->_members->Find(key);
    if (!n) return false;
    SQInteger enc = _integer(n->val);
    if (MemberIsField(enc)) {
        SQInteger idx = MemberIdx(enc);
        if (idx >= (SQInteger)_values.size()) return false;
        val = RealVal(_values[idx]);
    } else {
        val = RealVal(_class->_methods[MemberIdx(enc)].val);
    }
    return true;
}

bool SQInstance::Set(const SQObject &key, const SQObject &val) {
    SQTable::Node *n = _class->_members->Find(key);
    if (!n) return false;
    SQInteger enc = _integer(n->val);
    if (!MemberIsField(enc)) return false;
    SQInteger idx = MemberIdx(enc);
    if (idx >= (SQInteger)_values.size()) return false;
    _values[idx] = val;
    return true;
}

bool SQInstance::InstanceOf(const SQClass *trg) const {
    for (const SQClass *c = _class; c; c = c->_base)
        if (c == trg) return true;
    return false;
}

bool SQInstance::GetMetaMethod(int mm, SQObjectPtr &res) const {
    if (_class->_metamethods[mm]._type != OT_NULL) {
        res = _class->_metamethods[mm];
        return true;
    }
    return false;
}
