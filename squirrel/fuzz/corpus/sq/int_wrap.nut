function p(x) { print(x + "\n"); }
local big = 0x7fffffffffffffff;
p(big + 1);
p(big * 2);
p(-big - 1);
p((-big - 1) - 1);
local m = -big - 1;
p(m % -1);
try { p(5 % 0); } catch (e) { p("caught: " + e); }
try { p(5 / 0); } catch (e) { p("caught: " + e); }
p(-1 >>> 60);
