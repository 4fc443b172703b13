function p(x) { print(x + "\n"); }

local b = blob(4);
p(b.len());
p(typeof b);
b.writen(0x01020304, 'i');
p(b.len());
p(b.tell());
b.seek(0);
p(b.readn('i'));
p(b[0]);
b[1] = 255;
p(b[1]);
b.seek(0, 'e');
b.writen(1.5, 'f');
p(b.len());
b.seek(4);
p(b.readn('f'));
p(b.eos() != null);
b.resize(2);
p(b.len());
local c = blob();
c.writen(65, 'b');
c.writen(66, 'b');
p(c.len());
local d = blob();
d.writeblob(c);
d.seek(0);
local e = d.readblob(2);
p(e.len() + " " + e[0] + " " + e[1]);
foreach (i, v in c) p(i + ":" + v);
p(castf2i(1.0));
p(casti2f(1065353216));
p(swap2(0x0102));
p(swap4(0x01020304));
p(swapfloat(swapfloat(2.5)));
local cl = clone c;
cl[0] = 0;
p(c[0] + " " + cl[0]);
local n = blob();
n.writen(-2, 's');
n.writen(-3, 'c');
n.writen(70000, 'w');
n.seek(0);
p(n.readn('s') + " " + n.readn('c') + " " + n.readn('w'));
try { n.readn('i'); } catch (ex) { p("read past end"); }
try { b[100]; } catch (ex) { p("out of range"); }
