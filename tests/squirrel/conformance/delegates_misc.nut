function p(x) { print(x + "\n"); }

local f = 1.5;
p(f.weakref());
local bl = true;
p(bl.weakref());
local s = "str";
p(s.weakref().ref());
function fn() { return 1; }
p(typeof fn.weakref());
local myroot = { value = "from custom root" };
function readval() { return ::value; }
readval.setroot(myroot);
p(readval());
p(readval.getroot() == myroot);
class K { x = 1; }
K.setattributes("x", { note = "hi" });
p(K.getattributes("x").note);
K.rawset("y", 2);
K.newmember("z", 3);
K.rawnewmember("w", 4, null, true);
p(K.w);
local inst = K();
p(inst.y + " " + inst.z);
p(inst.rawget("x"));
inst.rawset("x", 5);
p(inst.x);
p([].tostring().slice(0, 9));
p({}.tostring().slice(0, 9));
p(K.tostring().slice(0, 9));
p(inst.tostring().slice(0, 12));
function gen() { yield 1; }
p(gen().tostring().slice(0, 13));
p(newthread(fn).tostring().slice(0, 10));
p(inst.weakref().tostring().slice(0, 11));
