// Sorting: the default order and a script compare function.
local seed = 99;
local a = [];
for (local i = 0; i < 600000; i++) {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    a.append(seed);
}
local b = clone a;
a.sort();
b.sort(@(p, q) q <=> p);
print((a[0] <= a[1]) + " " + (b[0] >= b[1]) + " " + a[100] + " " + b[100] + "\n");
