function p(x) { print(x + "\n"); }

local i = 65, f = 3.99, b = true, nb = false;
p(i.tofloat());
p(typeof i.tofloat());
p(i.tostring() + "!");
p(i.tochar());
p(i.tointeger());
p(f.tointeger());
p((-f).tointeger());
p(f.tostring());
local g = 66.5;
p(g.tochar());
p(b.tointeger());
p(b.tofloat());
p(nb.tostring());
p("42".tointeger());
p("3.5".tofloat());
p("10".tofloat());
p(typeof "10".tofloat());
p("7f".tointeger(16));
p("-12".tointeger());
p("101".tointeger(2));
local big = 1e10;
p(big.tointeger());
