function p(x) { print(x + "\n"); }

class Vec {
    x = 0;
    y = 0;
    constructor(a, b) { x = a; y = b; }
    function _add(o) { return Vec(x + o.x, y + o.y); }
    function _sub(o) { return Vec(x - o.x, y - o.y); }
    function _mul(s) { return Vec(x * s, y * s); }
    function _div(s) { return Vec(x / s, y / s); }
    function _modulo(s) { return Vec(x % s, y % s); }
    function _unm() { return Vec(-x, -y); }
    function _tostring() { return "(" + x + "," + y + ")"; }
    function _cmp(o) { return (x * x + y * y) <=> (o.x * o.x + o.y * o.y); }
    function _typeof() { return "Vec"; }
}
local v = Vec(1, 2), w = Vec(3, 4);
p(v + w);
p(w - v);
p(v * 3);
p(w / 2);
p(w % 2);
p(-v);
p(v < w);
p(v > w);
p(v <= Vec(2, 1));
p(typeof v);
p(v.tostring());
local sum = v;
sum += w;
p(sum);
class Dyn {
    data = null;
    constructor() { data = {}; }
    function _get(k) { return "got " + k; }
    function _set(k, val) { data[k] <- val * 2; }
}
local d = Dyn();
p(d.foo);
d.bar = 5;
p(d.data.bar);
class Fn {
    function _call(thisobj, a, b) { return a * b; }
}
local f = Fn();
p(f(6, 7));
class Cl {
    v = 1;
    function _cloned(orig) { this.v = orig.v + 100; }
}
local c = Cl();
local c2 = clone c;
p(c2.v);
class Pair {
    a = 1;
    b = 2;
    function _nexti(prev) {
        if (prev == null) return "a";
        if (prev == "a") return "b";
        return null;
    }
}
foreach (k, val in Pair()) p(k + "=" + val);
local addmeta = { function _add(o) { return "added " + o; } };
local t = {}.setdelegate(addmeta);
local r = t + 1;
p(r);
local strmeta = { function _tostring() { return "custom table"; } };
local ts = {}.setdelegate(strmeta);
p(ts);
p(ts.tostring());
