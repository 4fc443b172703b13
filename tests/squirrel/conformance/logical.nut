function p(x) { print(x + "\n"); }
p(null || 5);
p(0 || "x");
p(3 || 4);
p(1 && 2);
p(null && 2);
p(false && 2);
p(!0);
p(!1);
p(!null);
p(!"");
p(!0.0);
local calls = 0;
function f() { calls++; return true; }
local r = false && f();
r = true || f();
p(calls);
r = true && f();
p(calls);
p(1 ? "yes" : "no");
p(0 ? "yes" : "no");
p(null ? "yes" : "no");
p("" ? "yes" : "no");
