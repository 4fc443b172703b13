function p(x) { print(x + "\n"); }

try { throw "oops"; } catch (e) { p("caught " + e); }
try { throw 42; } catch (e) { p(e + 1); }
try { throw { code = 7 }; } catch (e) { p(e.code); }
class MyErr {
    msg = null;
    constructor(m) { msg = m; }
}
try { throw MyErr("bad"); } catch (e) { p(e instanceof MyErr); p(e.msg); }
function thrower() { throw "inner"; }
function middle() { thrower(); p("not reached"); }
try { middle(); } catch (e) { p("propagated " + e); }
try {
    try { throw "a"; } catch (e) { throw e + "b"; }
} catch (e2) { p(e2); }
try { local t = {}; t.nokey; } catch (e) { p(e); }
try { [1, 2][5]; } catch (e) { p(e); }
try { "abc".nomethod(); } catch (e) { p(e); }
try { local x = 1 + {}; } catch (e) { p(e); }
try { local x = -{}; } catch (e) { p(e); }
try { local x = "a" - 1; } catch (e) { p(e); }
try { assert(false); } catch (e) { p(e); }
try { assert(1 == 2, "custom"); } catch (e) { p(e); }
try { p("fine"); } catch (e) { p("no"); }
try { clone 5; } catch (e) { p(e); }
function deep(n) { if (n == 0) throw "bottom"; return deep(n - 1); }
try { deep(50); } catch (e) { p(e); }
local r = "after";
p(r);
