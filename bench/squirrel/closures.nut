// Closures: made in a loop, capturing locals, called through variables and
// passed to other functions.
function make_counter(step) {
    local n = 0;
    return function() { n += step; return n; };
}
function apply_n(f, k) {
    local r = 0;
    for (local i = 0; i < k; i++) r = f(r, i);
    return r;
}
local c = make_counter(3);
local t = 0;
for (local i = 0; i < 4000000; i++) t += c();
local made = 0;
for (local i = 0; i < 1500000; i++) {
    local k = i;
    local f = @(x) x + k;
    made += f(1);
}
local add = @(p, q) p + q;
local s = apply_n(add, 4000000);
local scale = 2;
local m = apply_n(function(p, q) { return p + q * scale; }, 2500000);
print(t + " " + made + " " + s + " " + m + "\n");
