function p(x) { print(x + "\n"); }

local a = [1, [2, 3]];
local b = clone a;
b[0] = 9;
b[1][0] = 8;
p(a[0]);
p(a[1][0]);
local t = { x = 1 };
local u = clone t;
u.x = 2;
p(t.x + " " + u.x);
local d = { function f() { return "del"; } };
local t2 = {}.setdelegate(d);
local t3 = clone t2;
p(t3.f());
class C { v = 1; }
local c = C();
c.v = 5;
local c2 = clone c;
c2.v = 6;
p(c.v + " " + c2.v);
p(c2 instanceof C);
