function p(x) { print(x + "\n"); }

function make(k) { return @(x) x * k + 1; }
local src = compilestring("local t = [1, 2, 3]; local s = 0; foreach (v in t) s += v; return s + \"!\";");
writeclosuretofile("lib_bytecode_tmp.cnut", src);
local back = loadfile("lib_bytecode_tmp.cnut");
p(back());
p(dofile("lib_bytecode_tmp.cnut"));
remove("lib_bytecode_tmp.cnut");
