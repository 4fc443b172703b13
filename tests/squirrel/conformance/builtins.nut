function p(x) { print(x + "\n"); }

p(getroottable() == this);
getroottable().newglobal <- 5;
p(newglobal);
p(::newglobal);
local f = compilestring("return 1 + 2;");
p(f());
local g = compilestring("::print(\"ciao\\n\")");
g();
p(typeof collectgarbage());
p(_intsize_);
p(_floatsize_);
p(_charsize_);
p(typeof _version_);
p(_versionnumber_);
local si = getstackinfos(1);
p(si.func);
p(si.src);
function named() { return getstackinfos(1).func; }
p(named());
p(array(3).len());
local rejected = false;
try { array(-1); } catch (e) { rejected = true; }
p(rejected);
p(type(getconsttable()));
