function p(x) { print(x + "\n"); }

class Base {
    static sval = "static";
    id = 0;
    constructor() { id = 1; }
    function who() { return "Base"; }
    function call_who() { return who(); }
}
class Derived extends Base {
    constructor() { base.constructor(); id += 10; }
    function who() { return "Derived"; }
}
local d = Derived();
p(d.id);
p(d.call_who());
p(Derived.sval);
p(d instanceof Base);
local d2 = Derived();
d.id = 99;
p(d2.id);
p(Base.who.call(d));
p(Base.rawin("who"));
p(Base.rawget("sval"));
class A {
    v = null;
    constructor(x) { v = x; }
}
class B extends A {
    constructor(x) { base.constructor(x * 2); }
}
p(B(5).v);
class Named {
    function _tostring() { return "Named!"; }
}
print(Named());
print("\n");
p(Named() + "?");
class WithArr {
    items = null;
    constructor() { items = []; }
    function add(x) { items.append(x); return items.len(); }
}
local w1 = WithArr(), w2 = WithArr();
w1.add(1);
w1.add(2);
p(w1.items.len() + " " + w2.items.len());
