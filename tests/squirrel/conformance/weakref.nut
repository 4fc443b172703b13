function p(x) { print(x + "\n"); }

local t = { v = 1 };
local w = t.weakref();
p(typeof w);
p(w.ref().v);
p(w.ref() == t);
t = null;
p(w.ref());
local i = 5;
p(i.weakref());
p(typeof i.weakref());
local holder = {};
local arr = ["first", "second"];
holder.thearray <- arr.weakref();
p(holder.thearray[0]);
p(typeof holder.thearray);
arr = 123;
p(typeof holder.thearray);
