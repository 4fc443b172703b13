function p(x) { print(x + "\n"); }

p("abc".slice(0, 0).len());
p("a,b".find(","));
p("ABC".tolower() + "abc".toupper());
p("abc"[1]);
p("abc" < "abcd");
p("Z" < "a");
p("10" + 5);
p(5 + "10");
p("%d".len());
p("line\n".len());
p("tab\tchar".find("\t"));
local ok = false;
try { "abc".slice(5); } catch (e) { ok = true; }
p(ok);
local s = "";
for (local i = 0; i < 5; i++) s += i;
p(s);
p("x".len() + "yz".len());
