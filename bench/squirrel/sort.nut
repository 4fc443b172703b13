// Sorting: the default order and a script compare function.
srand(99);
local a = [];
for (local i = 0; i < 200000; i++) a.append(rand());
local b = clone a;
a.sort();
b.sort(@(p, q) q <=> p);
print((a[0] <= a[1]) + " " + (b[0] >= b[1]) + " " + a.len() + "\n");
