// Delegation on assignment, raw `in`, metamethods that are no members, base,
// _tostring that gives no string, _newslot on instances and bare names in
// methods going through _get and _set.
function p(x) { print(x + "\n"); }
function err(f) { try { p(f()); } catch (e) { p(e); } }
// t.k = v writes the delegate that has k; a key found nowhere is an error or _set
local d = { hp = 3 };
local t = {}.setdelegate(d);
t.hp = 9;
p(t.rawin("hp") + " " + d.hp);
local dd = { deep = 1 };
local mid = {}.setdelegate(dd);
local top = {}.setdelegate(mid);
top.deep = 2;
p(dd.deep + " " + top.rawin("deep") + " " + mid.rawin("deep"));
err(@() t.zz = 1);
local logged = "";
local withset = {}.setdelegate({ known = 0, _set = function(k, v) { logged += k + "=" + v + " "; } });
withset.known = 1;
withset.other = 2;
p(logged + withset.known);
// `in` is raw for tables, members for classes and instances
p(("hp" in {}.setdelegate({ hp = 1 })) + " " + ("len" in {}) + " " + ("keys" in {}));
p("served" in {}.setdelegate({ _get = function(k) { return 1; } }));
class C {
    x = 1;
    function m() {}
    static s = 2;
    function _add(o) { return 5; }
    function _tostring() { return "C"; }
}
p(("x" in C) + " " + ("m" in C) + " " + ("s" in C) + " " + ("x" in C()) + " " + ("m" in C()));
// metamethods work but are no members
p(("_add" in C) + " " + C.rawin("_add") + " " + ("_add" in C()) + " " + ("_tostring" in C));
err(@() C._add);
err(@() C()._add);
p((C() + C()) + " " + C());
local ks = [];
foreach (k, v in C) ks.append(k);
ks.sort();
p(ks.len() + " " + ks[0] + " " + ks[1] + " " + ks[2]);
class G {
    function _get(k) { return "got " + k; }
    function _add(o) { return 1; }
}
p(G()._add);
C._sub <- function(o) { return "sub"; };
p((C() - 1) + " " + C.rawin("_sub"));
// a _tostring that gives no string is ignored
class Q { function _tostring() { return 1; } }
p(("<" + Q()).slice(0, 10));
p(Q().tostring().slice(0, 9));
// base: the base class in methods, constructors and static methods; null in
// metamethods, nested functions, plain functions and at the top level
class B { function m() { return "B.m"; } }
class D extends B {
    seen = null;
    constructor() { seen = base == B; }
    function m() { return "D>" + base.m(); }
    function _tostring() { return typeof base; }
    function n() { return (@() base)(); }
    static function s() { return base.m(); }
}
p(D().m() + " " + D().seen + " " + D().tostring() + " " + D().n() + " " + D.s());
err(@() (function() { return base.m(); })());
p({ f = function() { return base; } }.f());
p(base);
// a function stored in a class with a base becomes a copy bound to that base
local f = function() { return base; };
class E extends B {}
E.f <- f;
p((E.f == f) + " " + f() + " " + (E().f() == B));
class F {}
F.f <- f;
p((F.f == f) + " " + F().f());
// _newslot on instances
class NS {
    store = null;
    constructor() { store = {}; }
    function _newslot(k, v) { store[k] <- v * 2; }
}
local ns = NS();
ns.q <- 4;
p(ns.store.q + " " + ("q" in ns));
class NN {}
err(@() NN().q <- 1);
// bare names in methods: this first through _get and _set, then the root
class W {
    store = null;
    constructor() { store = {}; }
    function _set(k, v) { store[k] <- v; }
    function g() { zz = 5; return store.zz; }
}
p(W().g());
::gl <- 7;
class U {
    function _get(k) { throw null; }
    function h() { return gl; }
}
p(U().h());
class V {
    function _get(k) { return "v." + k; }
    function h() { return gl; }
}
p(V().h());
class X {
    function _get(k) { throw "no " + k; }
    function h() { return gl; }
}
err(@() X().h());
