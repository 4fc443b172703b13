// Method calls on class instances: field reads and writes, methods calling
// methods, and instances created in the loop.
class Vec {
    x = 0.0;
    y = 0.0;
    constructor(ax, ay) { x = ax; y = ay; }
    function dot(o) { return x * o.x + y * o.y; }
    function add(o) { return Vec(x + o.x, y + o.y); }
    function len2() { return dot(this); }
}
class Body {
    pos = null;
    vel = null;
    steps = 0;
    constructor(p, v) { pos = p; vel = v; }
    function step(dt) {
        pos.x += vel.x * dt;
        pos.y += vel.y * dt;
        steps++;
        return pos.len2();
    }
}
local a = Vec(1.0, 2.0), b = Vec(0.5, 0.25);
local acc = 0.0;
for (local i = 0; i < 1600000; i++) acc += a.dot(b) + b.len2();
local sum = Vec(0.0, 0.0);
for (local i = 0; i < 800000; i++) sum = sum.add(b);
local body = Body(Vec(0.0, 0.0), Vec(0.001, 0.002));
local e = 0.0;
for (local i = 0; i < 1600000; i++) e += body.step(0.5);
print(format("%.1f %.1f %.3f %d\n", acc, sum.x, e, body.steps));
