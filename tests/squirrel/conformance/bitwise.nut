function p(x) { print(x + "\n"); }
p(6 & 3);
p(6 | 3);
p(6 ^ 3);
p(~0);
p(~5);
p(1 << 10);
p(-16 >> 2);
p(-16 >>> 60);
p(0xF0 >> 4);
p(1 << 63);
local a = 12;
a = a & 10; p(a);
try { p(1.5 & 1); } catch (e) { p(e); }
try { p(~"x"); } catch (e) { p(e); }
