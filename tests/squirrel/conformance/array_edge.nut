function p(x) { print(x + "\n"); }
function show(arr) { local s = ""; foreach (i, v in arr) { if (i) s += ","; s += v; } p("[" + s + "]"); }

local a = [1, 2, 3];
a.insert(3, 4);
show(a);
p(a.remove(0));
show(a);
a.resize(0);
p(a.len());
p([1, 2, 3].slice(1, -1).len());
p([].len());
p([null].len());
local nested = [[]];
nested[0].append(1);
p(nested[0][0]);
p(["a", "b"].find("b"));
p(["a", "b", "c"].reduce(@(x, y) x + y));
local orig = [1, 2];
local mapped = orig.map(@(v) v + 1);
show(orig);
show(mapped);
try { a[-1]; p("no error"); } catch (e) { p("negative index error"); }
try { [].pop(); p("no error"); } catch (e) { p("pop error"); }
local big = array(1000, 7);
local s = 0;
foreach (v in big) s += v;
p(s);
local rev = [1, 2, 3, 4];
rev.reverse();
show(rev);
