function p(x) { print(x + "\n"); }

local ex = regexp(@"(\d+) ([a-zA-Z]+)(\p)");
local string = "stuff 123 Test;";
local res = ex.capture(string);
foreach (i, val in res) {
    print(format("match number[%02d] %s\n", i, string.slice(val.begin, val.end)));
}
p(ex.subexpcount());
local ex2 = regexp("[a-zA-Z]+");
local r = ex2.search("123 Test;");
p("123 Test;".slice(r.begin, r.end));
p(r.begin + " " + r.end);
p(ex2.search("1234"));
p(ex2.search("ab 12 cd", 3).begin);
p(ex2.capture("1234"));
p(regexp(@"^\d+$").match("12345"));
p(regexp(@"^\d+$").match("123a5"));
p(regexp("b+").match("abbb"));
p(regexp("ab+").match("abbb"));
p(regexp("x|y").search("aaay").begin);
p(regexp("colou?r").match("color"));
p(regexp("colou?r").match("colour"));
p(regexp("a{2,3}").match("aaaa"));
p(regexp("a{2,3}").match("aaa"));
p(regexp("a{2}").match("aa"));
p(regexp("a{2,}").match("aaaaaa"));
p(regexp("[^0-9]+").search("12ab34").end);
p(regexp(@"\bis\b").search("this is").begin);
p(regexp("(?:ab)+").match("ababab"));
p(regexp("(?:ab)+c").subexpcount());
p(regexp("a(b)(c)").subexpcount());
local mail = "mail bob@site.com now";
local caps = regexp(@"(\w+)@(\w+)\.com").capture(mail);
p(mail.slice(caps[1].begin, caps[1].end));
p(mail.slice(caps[2].begin, caps[2].end));
p(regexp(@"\s+").search("a \t b").end);
p(regexp(@"\D+").search("12abc3").begin);
p(regexp(@"[\da-f]+").search("xyz0fa9q").end);
p(regexp("a.c").match("abc"));
p(regexp("a.c").match("ac"));
p(regexp(@"a\.c").match("abc"));
p(regexp("(a|b)*c").match("ababbc"));
p(regexp(@"\x+").search("zzBEEFzz").begin);
p(regexp("cat|dog").search("hotdog").begin);
local ok = true;
try { regexp("(abc"); ok = false; } catch (e) { }
try { regexp("[abc"); ok = false; } catch (e) { }
p(ok);
