function p(x) { print(x + "\n"); }

function classify(n) {
    if (n < 0) return "neg";
    else if (n == 0) return "zero";
    else return "pos";
}
p(classify(-5));
p(classify(0));
p(classify(3));
local i = 0;
while (i < 3) { p("w" + i); i++; }
local j = 5;
do { p("d" + j); j++; } while (j < 5);
for (local k = 0; k < 3; k++) p("f" + k);
for (local a = 0, b = 10; a < 3; a++, b--) p(a + b);
local n = 0;
for (;;) { n++; if (n == 4) break; }
p(n);
function sw(x) {
    switch (x) {
        case 1: return "one";
        case 2:
        case 3: return "two or three";
        case "s": return "string";
        default: return "other";
    }
}
p(sw(1));
p(sw(3));
p(sw("s"));
p(sw(9));
local out = "";
switch (2) {
    case 1: out += "1";
    case 2: out += "2";
    case 3: out += "3"; break;
    case 4: out += "4";
}
p(out);
out = "none";
switch (7) { case 1: out = "one"; }
p(out);
switch (4) { case 1 + 3: p("expr case"); break; default: p("default"); }
p(true ? (false ? 1 : 2) : 3);
{
    local inner = "block";
    p(inner);
}
local w = 0;
while (true) { w++; if (w < 3) continue; break; }
p(w);
// returning a conditional: each branch hands back its own value
function pick(c, a, b) { return c ? a : b; }
p(pick(true, "then", "else") + " " + pick(false, "then", "else"));
function fibr(n) { return n < 2 ? n : fibr(n - 1) + fibr(n - 2); }
p(fibr(15));
function grade(n) { return n > 90 ? "a" : n > 50 ? (n > 70 ? "b" : "c") : "d"; }
p(grade(95) + grade(75) + grade(60) + grade(10));
function later() { local v = 1; local get = @() v; v = 9; return v > 5 ? v : 0; }
p(later());
function guarded(c) { try { return c ? c : "none"; } catch (e) { return "caught"; } }
p(guarded(4) + " " + guarded(null));
function twice(x) { return x * 2; }
function branchcall(c) { return c ? twice(c) : twice(100); }
p(branchcall(3) + " " + branchcall(0));
function countdown(n) { yield n; return n > 0 ? n - 1 : "done"; }
local g = countdown(1);
p(resume g);
p(resume g);
