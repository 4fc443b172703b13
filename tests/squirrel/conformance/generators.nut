function p(x) { print(x + "\n"); }

function gen(n) {
    for (local i = 0; i < n; i++) yield i * 10;
    return "done";
}
local g = gen(3);
p(typeof g);
p(resume g);
p(resume g);
p(g.getstatus());
p(resume g);
p(resume g);
p(g.getstatus());
try { resume g; } catch (e) { p(e); }
foreach (v in gen(3)) p(v);
function fibs() {
    local a = 0, b = 1;
    while (true) {
        yield a;
        local t = a + b;
        a = b;
        b = t;
    }
}
local fg = fibs();
local s = "";
for (local i = 0; i < 10; i++) { local x = resume fg; s += x + " "; }
p(s);
function letters() { yield "a"; yield "b"; }
local acc = "";
foreach (l in letters()) acc += l;
p(acc);
