function p(x) { print(x + "\n"); }

local proto = { function hello() { return "hello from " + name; } };
local obj = { name = "obj" };
obj.setdelegate(proto);
p(obj.hello());
p(obj.getdelegate() == proto);
p("hello" in obj);
p(obj.rawin("hello"));
local fallback = { function _get(k) { return "default:" + k; } };
local o2 = {}.setdelegate(fallback);
p(o2.missing);
obj.setdelegate(null);
p(obj.getdelegate());
local d1 = { a = 1 };
local d2 = { b = 2 }.setdelegate(d1);
local o3 = {}.setdelegate(d2);
p(o3.a + o3.b);
o3.a <- 10;
p(o3.a + " " + d1.a);
p(o3.rawget("a"));
