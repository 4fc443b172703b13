function p(x) { print(x + "\n"); }

function add(a, b = 10) { return a + b; }
p(add(1));
p(add(1, 2));
function va(first, ...) {
    local s = first;
    foreach (v in vargv) s += v;
    return s + " n=" + vargv.len();
}
p(va(1));
p(va(1, 2, 3));
function fact(n) { return n <= 1 ? 1 : n * fact(n - 1); }
p(fact(20));
function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }
p(fib(20));
local f = function(x) { return x * 2; };
p(f(4));
function noret() {}
p(noret());
function bare() { return; }
p(bare());
try { add(); } catch (e) { p(e); }
try { add(1, 2, 3); } catch (e) { p(e); }
local obj = { n = 5, function get() { return this.n; } };
p(obj.get());
function sum3(a, b, c) { return a + b + c; }
p(sum3.call(this, 1, 2, 3));
p(sum3.acall([this, 1, 2, 3]));
p(sum3.pcall(this, 4, 5, 6));
p(sum3.pacall([this, 1, 1, 1]));
local info = add.getinfos();
p(info.name);
p(info.native);
p(print.getinfos().native);
function outer() {
    function inner(x) { return x + 1; }
    return inner(1);
}
p(outer());
function ret_multi(x) {
    if (x) return "yes";
    return "no";
}
p(ret_multi(1) + ret_multi(0));
local t = { function method() { return typeof this; } };
p(t.method());
function defaults(a, b = "B", c = "C") { return a + b + c; }
p(defaults("a"));
p(defaults("a", "b"));
p(defaults("a", "b", "c"));
