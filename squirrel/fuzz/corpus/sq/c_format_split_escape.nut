// format: which conversions exist, what each accepts, the order of the checks and
// the length limits; escape, split and strip.
function p(x) { print(x + "\n"); }
function err(f) { try { p(f()); } catch (e) { p(e); } }
// only d i x X o u c, f e E g G and s; no length modifiers, no * or $
err(@() format("%ld", 3));
err(@() format("%hd", 3));
err(@() format("%lld", 3));
err(@() format("%a", 1.0));
err(@() format("%A", 1.0));
err(@() format("%F", 1.0));
err(@() format("%p", 1));
err(@() format("%n", 1));
err(@() format("%q", 1));
err(@() format("%*d", 1));
err(@() format("%1$d", 1));
err(@() format("abc%", 1));
err(@() format("%i|%o|%u|%x|%X", 42, 8, 3, 255, 255));
err(@() format("%x", -1));
err(@() format("%5.1f|%-4d|%+d|%c|%e|%G", 3.14159, 7, 5, 65, 12345, 0.00001));
// what each class takes
err(@() format("%s", 7));
err(@() format("%s", null));
err(@() format("%s", true));
class T { function _tostring() { return "T"; } }
err(@() format("%s", T()));
err(@() format("%f", true));
err(@() format("%f", "1"));
err(@() format("%d", true));
err(@() format("%d", 2.9));
err(@() format("%d", sqrt(-1)));
err(@() format("%d", "3"));
err(@() format("%d", null));
err(@() format("%f", 3));
err(@() format("%.3s|%5s|%-5s|", "abcdef", "ab", "ab"));
// flags, width and precision are read, then an argument must be left, and only
// then is the conversion checked
err(@() format("%d"));
err(@() format("%z"));
err(@() format("%z", 1));
err(@() format("%5%", 1));
err(@() format("abc%"));
err(@() format("%%|%d%%", 5));
err(@() format("%d %d", 1));
// length limits
err(@() format("%100d", 1));
err(@() format("%.100f", 1.0));
err(@() format("%99d", 1).len());
err(@() format("%.99f", 1.0).len());
err(@() format("%0005d", 42));
err(@() format("%--------------------5d", 1));
err(@() format("%-------------------5d", 1).len());
// a NUL in a %s argument ends it; the format string itself goes on
err(@() format("%s|%s", "p\x00q", "r"));
err(@() format("a\x00b%d", 1).len());
err(@() format());
// escape: no short forms, \xNN for control bytes and bytes from 0x7f up
err(@() escape("p\nq\tr\x01"));
err(@() escape("\a\r"));
err(@() escape("\t"));
err(@() escape("\xe9"));
err(@() escape("a\"b'c\\d\x00e\x7f"));
err(@() escape("plain text ~"));
// split: the last piece only when not empty; an empty separator set is an error
function lst(a) {
    local s = a.len() + ":";
    foreach (x in a) s += "[" + x + "]";
    return s;
}
err(@() lst(split("", ";")));
err(@() lst(split(";", ";")));
err(@() lst(split("m;", ";")));
err(@() lst(split(";;m", ";")));
err(@() lst(split("m;;", ";")));
err(@() lst(split("mnm", "mnm")));
err(@() lst(split("a b,c", " ,")));
err(@() lst(split(";a;;b;", ";", true)));
err(@() split("q", ""));
// strip removes C whitespace only; a leading NUL stays
err(@() "[" + strip("\x01q\x01") + "]");
err(@() "[" + strip(" \t\n\v\f\rq \r") + "]");
err(@() "[" + rstrip("q \n") + "][" + lstrip(" \tq ") + "]");
err(@() lstrip("\x00q").len() + " " + strip("\x00q").len() + " " + rstrip("\x00q").len());
