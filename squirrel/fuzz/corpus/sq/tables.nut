function p(x) { print(x + "\n"); }

local t = { a = 1, b = "two", ["c d"] = 3, [10] = "ten" };
p(t.a);
p(t["b"]);
p(t["c d"]);
p(t[10]);
p(t.len());
t.e <- 5;
p(t.e);
t.a = 100;
p(t.a);
p("a" in t);
p("zz" in t);
p(10 in t);
p(delete t.a);
p("a" in t);
p(t.rawget("b"));
t.rawset("f", 6);
p(t.f);
p(t.rawin("f"));
p(t.rawdelete("f"));
p(t.rawin("f"));
local j = { "id": 1, "name": "Foo" };
p(j.id + " " + j.name);
try { p(t.nope); } catch (e) { p(e); }
try { t.nope = 1; } catch (e) { p(e); }
t.clear();
p(t.len());
local nums = { x = 1, y = 2, z = 3 };
local f = nums.filter(function(k, v) { return v > 1; });
local fk = f.keys();
fk.sort();
foreach (k in fk) p(k);
local vals = nums.values();
vals.sort();
p(vals[0] + "," + vals[1] + "," + vals[2]);
local o = { v = 3, function get() { return v; } };
p(o.get());
local n = { inner = { deep = "yes" } };
p(n.inner.deep);
n.inner.deep = "changed";
p(n["inner"]["deep"]);
local keyed = {};
keyed[1] <- "int";
keyed["1"] <- "str";
p(keyed[1] + " " + keyed["1"] + " " + keyed.len());
