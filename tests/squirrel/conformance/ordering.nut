// Ordering: null before everything and never an error; same-typed objects order
// without raising (the same object is equal to itself); _cmp only between two
// instances; NaN through the three-way compare; float to integer out of range.
function p(x) { print(x + "\n"); }
function err(f) { try { p(f()); } catch (e) { p(e); } }
p((null < -5) + " " + (null <=> null) + " " + (3 <=> null) + " " + (null <=> "s"));
p(({} > null) + " " + (null >= null) + " " + (null > 0.5) + " " + ([] < null));
local a = {}, b = {};
p((a <=> a) + " " + ((a < b) != (a > b)) + " " + (a <= a) + " " + ((a <=> b) == -(b <=> a)));
local f = function() {}, g = function() {};
p((f <=> f) + " " + ((f < g) != (g < f)) + " " + (print <=> print));
p((false < true) + " " + (true <=> true) + " " + (true <=> false));
class P {
    v = 0;
    constructor(x) { v = x; }
    function _cmp(o) { print("_cmp "); return v <=> o.v; }
}
p(P(1) < P(2));
local same = P(5);
p(same <=> same);
err(@() P(1) < 5);
err(@() 5 < P(1));
err(@() P(1) <=> null);
class Q {}
local q1 = Q(), q2 = Q();
p((q1 <=> q1) + " " + ((q1 < q2) != (q2 < q1)));
// tables ask their delegate for _cmp
local d = { _cmp = function(o) { return 1; } };
p({}.setdelegate(d) < {});
// NaN is greater than everything and equal to nothing, but itself orders equal
local n = sqrt(-1);
p((n > 1) + " " + (1 > n) + " " + (n <=> 1) + " " + (n <= n) + " " + (n == n));
p((n >= 1.0) + " " + (1.0 >= n) + " " + (n < 1) + " " + (1 <= n) + " " + (n != n));
p((n > n) + " " + (n < n) + " " + (n >= n) + " " + (n <=> n));
if (n > 3) p("branch taken on nan > 3");
if (!(n < 3)) p("branch taken on !(nan < 3)");
// floats that do not fit an integer convert to the most negative one
p((1e19).tointeger() + " " + (-1e19).tointeger() + " " + (1.0 / 0).tointeger() + " " + n.tointeger());
p((9.2233715e18).tointeger() + " " + (-9.2233720e18).tointeger() + " " + (-2.5).tointeger());
