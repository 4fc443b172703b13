function p(x) { print(x + "\n"); }

local function sq(x) { return x * x; }
p(sq(5));
p(typeof sq);
local function twice(f, x) { return f(f(x)); }
p(twice(sq, 3));
function outer() {
    local function helper(s) { return "<" + s + ">"; }
    return helper("in");
}
p(outer());
