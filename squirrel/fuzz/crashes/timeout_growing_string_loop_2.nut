// for loops that step a local by a constant and test it against a local or a
// constant run as one instrucotin per pass: they must act exactly like the
// step and the test written out.
function p(x) { print(x + "\n"); }
function seq(f) { local s = ""; f(function(v) { s += v + " "; }); return s; }
p(seq(function(out) { for (local i = 1; i < 5; i++) out(i); }));
p(seq(function(out) { for (local i = 10; i > 0; i -= 3) out(i); }));
p(seq(function(out) { for (local i = 0; i <= 6; i += 2) out(i); }));
p(seq(function(out) { for (local i = 3; i >= -3; i--) out(i); }));
p(seq(function(out) { for (local i = 5; i < 5; i++) out(i); }));
local n = 4;
p(seq(function(out) { for (local i = 0; i < n; ++i) out(i); }));
// float loop variables and limits
p(seq(function(out) { for (local x = 1.5; x < 3; x++) out(x); }));
p(seq(function(out) { for (local x = 0; x < 2.5; x += 1) out(x); }));
p(seq(function(out) { local lim = sqrt(-1); for (local i = 0; i < lim; i++) out(i); }));
p(seq(function(out) { local lim = sqrt(-1); for (local i = 0; i >= lim && i < 3; i++) out(i); }));
// the body may change the variable; continue steps it, break leaves
p(seq(function(out) { for (local i = 0; i < 10; i++) { if (i == 1) i = 6; out(i); } }));
p(seq(function(out) { for (local i = 0; i < 6; i++) { if (i % 2) continue; out(i); } }));
p(seq(function(out) { for (local i = 0; i < 100; i++) { if (i == 3) break; out(i); } }));
//closures capture the variable of the whole loop
local fs = [];
for (local i = 0; i < 3; i++) fs.append(@() i);
p(fs[0]() + " " + fs[2]());
// integers wrap
p(seq(function(out) { for (local i = 9223372036854775806; i > 0; i++) out(i); }));
// a variable that is not a number goes through the operators
p(seq(function(out) { for (local s = "a"; s < "a1ÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿÿ11"; s += 1) out(s); }));
try {
    for (local i = 0; i < 3; i++) i = null;
} catch (e) p(e);
try {
    for (local i = 0; i < 3; i++) i = [];
} catch (e) p(e);
// nested
local total = 0;
for (local y = 0; y < 30; y++)
    for (local x = 0; x < 40; x += 2) total += x * y;
p(total);
