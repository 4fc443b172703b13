function p(x) { print(x + "\n"); }

function join(a) { local s = ""; foreach (i, v in a) { if (i) s += "|"; s += v; } return s; }
p("[" + strip("  hi there \t\n") + "]");
p("[" + lstrip("  x  ") + "]");
p("[" + rstrip("  x  ") + "]");
p("[" + strip("") + "]");
local a = split("1.2-3;;4/5", ".-/;");
p(a.len());
p(join(a));
local b = split("1.2-3;;4/5", ".-/;", true);
p(b.len());
p(join(b));
p(join(split("a b  c", " ")));
p(startswith("hello", "he"));
p(startswith("hello", "lo"));
p(startswith("he", "hello"));
p(endswith("hello", "lo"));
p(endswith("lo", "hello"));
p(endswith("hello", ""));
p(escape("a\tb\n\"c\"\\"));
p(escape("it's"));
p(escape("plain"));
