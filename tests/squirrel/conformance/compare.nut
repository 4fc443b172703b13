function p(x) { print(x + "\n"); }
p(1 < 2);
p(2 < 1);
p(2 <= 2);
p(3 >= 4);
p(1 == 1.0);
p(1 != 2);
p("abc" < "abd");
p("b" > "abc");
p("abc" == "abc");
p(null == null);
p(null == false);
p(0 == false);
p(1 <=> 2);
p(2 <=> 2);
p(3 <=> 2);
p(1.5 < 2);
p([] == []);
local t = {};
p(t == t);
try { p(1 < "x"); } catch (e) { p(e); }
