// Callbacks of the array and table natives: what `this` is, which arguments
// they get, and the heap sort (equal elements and compare calls in its order).
function p(x) { print(x + "\n"); }
function err(f) { try { p(f()); } catch (e) { p(e); } }
function list(a) {
    local s = "";
    foreach (i, x in a) s += (i ? " " : "") + x;
    return s;
}
p([1].map(function(v) { return typeof this; })[0]);
p([1].apply(function(v) { return typeof this; })[0]);
p([1, 2].filter(function(i, v) { return typeof this == "array"; }).len());
p([1, 2].reduce(function(a, v) { return typeof this; }));
p({ k = 1 }.map(function(k, v) { return typeof this; })[0]);
p({ k = 1 }.filter(function(k, v) { return typeof this == "table"; }).len());
[3, 1].sort(function(a, b) { p("sort this: " + typeof this); return a <=> b; });
// map and apply pass as many of (value, index, array) as the callback declares
p(list([5, 6].map(@(v) v * 10)));
p(list([5, 6].map(@(v, i) v + i)));
p(list([5, 6].map(@(v, i, a) a.len())));
p(list([5, 6].map(function(...) { return vargv.len(); })));
p(list([5, 6].map(function(v, ...) { return vargv.len(); })));
p(list([5, 6].apply(@(v, i) v * i)));
err(@() [5].map(@(a, b, c, d) 0));
err(@() [5].map(@() 0));
// filter passes (index, value), reduce (accumulator, value), sort (a, b)
p(list([5, 6, 7].filter(@(i, v) i != 1)));
p([1, 2, 3].reduce(@(acc, v) acc * 10 + v));
p([1, 2, 3].reduce(@(acc, v) acc + v, 100));
p([].reduce(@(acc, v) acc + v));
err(@() [5].filter(@(x) 0));
err(@() [5, 6].reduce(@(x) 0));
err(@() [5, 6].sort(@(x) 0));
p(list({ p = 2, q = 3 }.map(@(k, v) k + v)));
// sort: heap sort, not stable
local v = [5, 3, 9, 1, 7, 2, 8];
v.sort(@(x, y) 0);
p(list(v));
err(@() [2, 1].sort(@(x, y) -1));
local calls = "";
local w = [4, 1, 3, 2];
w.sort(function(a, b) { calls += a + "" + b + " "; return a <=> b; });
p(list(w) + " | " + calls);
local keyed = [[2, "a"], [1, "b"], [2, "c"], [1, "d"], [2, "e"], [1, "f"]];
keyed.sort(@(x, y) x[0] <=> y[0]);
p(list(keyed.map(@(e) e[1])));
local n = sqrt(-1);
local f = [3.0, n, 1.0, 2.0];
f.sort();
p(list(f));
p(list([3, 1, 2].sort(@(a, b) (a - b) * 0.4)));
p(list([3, 1, 2].sort(@(a, b) a > b)));
err(@() [3, 1].sort(@(a, b) null));
err(@() [3, 1].sort(@(a, b) "x"));
err(@() [3, "x"].sort());
p(list(["pear", "apple", "fig"].sort()));
p(list([].sort()) + "|" + list([7].sort()));
