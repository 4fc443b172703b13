// Built-ins called straight from script code must behave exactly as when they
// are called the long way (through pcall()), results and errors alike.
function p(x) { print(x + "\n"); }
function err(f) { try { p(f()); } catch (e) { p(e); } }
function both(name, direct, viacall) {
    local a, b;
    try { a = direct(); } catch (e) { a = "error: " + e; }
    try { b = viacall(); } catch (e) { b = "error: " + e; }
    p(name + ": " + a + (a == b ? "" : " <> " + b));
}
both("sqrt", @() sqrt(2), @() sqrt.pcall(this, 2));
both("sqrt float", @() sqrt(2.25), @() sqrt.pcall(this, 2.25));
both("sqrt string", @() sqrt("4"), @() sqrt.pcall(this, "4"));
both("sqrt count", @() sqrt(4, 5), @() sqrt.pcall(this, 4, 5));
both("pow", @() pow(2, 10), @() pow.pcall(this, 2, 10));
both("atan2", @() atan2(1, 1), @() atan2.pcall(this, 1, 1));
both("floor", @() floor(-2.5), @() floor.pcall(this, -2.5));
both("abs", @() abs(-2147483648), @() abs.pcall(this, -2147483648));
both("abs float", @() abs(-7.9), @() abs.pcall(this, -7.9));
both("abs null", @() abs(null), @() abs.pcall(this, null));
both("tointeger", @() (7.9).tointeger(), @() (7.9).tointeger.pcall(7.9));
both("tointeger big", @() (1e30).tointeger(), @() (1e30).tointeger.pcall(1e30));
both("tointeger bool", @() true.tointeger(), @() true.tointeger.pcall(true));
both("tofloat", @() (3).tofloat(), @() (3).tofloat.pcall(3));
both("len string", @() "hello".len(), @() "".len.pcall("hello"));
both("len array", @() [1, 2, 3].len(), @() [].len.pcall([1, 2, 3]));
both("len table", @() { a = 1 }.len(), @() {}.len.pcall({ a = 1 }));
both("len count", @() "x".len(1), @() "".len.pcall("x", 1));
both("string method", @() "Abc".toupper(), @() "".toupper.pcall("Abc"));
both("array method", @() [3, 1, 2].sort().top(), @() [].top.pcall([3, 1, 2].sort()));
both("number method", @() (65).tochar(), @() (1).tochar.pcall(65));
both("missing method", @() "x".nosuch(), @() "x".nosuch.pcall("x"));
// a built-in in a table slot or a local is the same built-in
local t = { s = sqrt };
local f = sqrt;
p(t.s(16) + " " + f(9));
// the call register may be reused for the result of the call
local n = 0;
for (local i = 0; i < 5; i++) n += sqrt(i * i).tointeger();
p(n);
