function p(x) { print(x + "\n"); }

class Animal {
    name = null;
    legs = 4;
    static kind = "animal";
    constructor(n) { name = n; }
    function speak() { return name + " makes a sound"; }
    function getLegs() { return legs; }
}
class Bird extends Animal {
    constructor(n) { base.constructor(n); legs = 2; }
    function speak() { return name + " chirps"; }
    function parent() { return base.speak(); }
}
local a = Animal("Rex");
local b = Bird("Tweety");
p(a.speak());
p(b.speak());
p(b.parent());
p(a.getLegs() + " " + b.getLegs());
p(b instanceof Bird);
p(b instanceof Animal);
p(a instanceof Bird);
p(typeof a);
p(typeof Animal);
p(b.getclass() == Bird);
p(Animal.kind);
p(b.kind);
p(a.rawin("name"));
a.name = "Max";
p(a.speak());
try { a.extra <- 1; } catch (e) { p(e); }
try { Animal.extra <- 1; } catch (e) { p(e); }
class Attr </ desc = "class attr" /> {
    </ tag = "member" />
    x = 1;
}
p(Attr.getattributes(null).desc);
p(Attr.getattributes("x").tag);
class S {
    static VERSION = 3;
    function get() { return VERSION; }
}
p(S.VERSION);
p(S().get());
local C = class { v = 9; };
p(C().v);
class Point {
    x = 0;
    y = 0;
    constructor(px = 1, py = 2) { x = px; y = py; }
    function sum() { return x + y; }
}
p(Point().sum());
p(Point(10).sum());
p(Point(10, 20).sum());
class Counter {
    count = 0;
    function inc() { count++; return this; }
}
local cnt = Counter();
cnt.inc().inc().inc();
p(cnt.count);
local cnt2 = Counter();
p(cnt2.count);
class Late {}
Late.added <- function() { return "added later"; };
p(Late().added());
local inst = Bird.instance();
p(inst.name);
