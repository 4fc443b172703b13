// Method calls on instances, closure calls and default-delegate calls.
class Vec {
    x = 0.0;
    y = 0.0;
    constructor(ax, ay) { x = ax; y = ay; }
    function dot(o) { return x * o.x + y * o.y; }
    function scaled(k) { return Vec(x * k, y * k); }
}
local a = Vec(1.0, 2.0), b = Vec(0.5, 0.25);
local acc = 0.0;
for (local i = 0; i < 500000; i++) acc += a.dot(b);
for (local i = 0; i < 200000; i++) acc += a.scaled(0.5).x;
local counter = 0;
local inc = function(d) { counter += d; };
for (local i = 0; i < 500000; i++) inc(1);
local add = @(p, q) p + q;
local s = 0;
for (local i = 0; i < 500000; i++) s = add(s, i);
local arr = [1, 2, 3];
local l = 0;
for (local i = 0; i < 300000; i++) l += arr.len();
print(format("%.1f", acc) + " " + counter + " " + s + " " + l + "\n");
