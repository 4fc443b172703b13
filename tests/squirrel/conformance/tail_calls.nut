// return f(...) reuses the frame: recursion this deep only works that way, and
// the frame's variables (captured ones included) must be right afterwards.
function p(x) { print(x + "\n"); }
function loop(n, acc) { if (n == 0) return acc; return loop(n - 1, acc + 1); }
p(loop(1000000, 0));
function even(n) { if (n == 0) return true; return odd(n - 1); }
function odd(n) { if (n == 0) return false; return even(n - 1); }
p(even(500001));
// captured variables of the frame that goes are closed first
local keep = [];
function capture(n) {
    local v = n * 10;
    keep.append(@() v);
    if (n == 0) return keep.len();
    return capture(n - 1);
}
p(capture(3) + " " + keep[0]() + " " + keep[3]());
// methods keep their this; defaults and natives take the ordinary way
class Counter {
    n = 0;
    function up(k) { n++; if (k == 0) return n; return up(k - 1); }
}
p(Counter().up(99999));
function withdefault(a, b = 5) { return a + b; }
function callsdefault(x) { return withdefault(x); }
p(callsdefault(1));
function callsnative(x) { return sqrt(x); }
p(callsnative(16));
function callsvarargs(...) { return vargv.len(); }
function tovarargs() { return callsvarargs(1, 2, 3); }
p(tovarargs());
// an error in a function reached by tail calls is caught as usual
function inner() { return null.x; }
function outer() { return inner(); }
try { outer(); } catch (e) p(e);
