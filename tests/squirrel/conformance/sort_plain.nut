// Sorting without a compare function: arrays of only integers or only floats
// come out in the language order, like any other array.
function show(a) {
    local s = "";
    foreach (i, v in a) s += (i ? " " : "") + v;
    print(s + "\n");
}
local ints = [5, -3, 9, 5, 0, -3, 1 << 40, -(1 << 62), 7];
ints.sort();
show(ints);
local floats = [2.5, -1.25, 1e10, -7.0, 2.5, 0.125];
floats.sort();
show(floats);
// zeros, NaN and a mix of the two number kinds keep the general path
local zeros = [1.0, -0.0, 0.0, -1.0];
zeros.sort();
show(zeros);
local mixed = [3, 1.5, 2, 0.5, 3.0];
mixed.sort();
show(mixed);
// a large array: sorted ascending, nothing lost
local big = [];
local seed = 7;
for (local i = 0; i < 2000; i++) {
    seed = (seed * 1103515245 + 12345) % 65536;
    big.append(seed % 100);
}
local sum = 0;
foreach (v in big) sum += v;
big.sort();
local ordered = true, after = 0;
foreach (i, v in big) {
    if (i && big[i - 1] > v) ordered = false;
    after += v;
}
print(ordered + " " + big.len() + " " + (sum == after) + "\n");
// one element, and an array sorted in place is the array returned
local one = [42];
print((one.sort() == one) + " " + one[0] + "\n");
