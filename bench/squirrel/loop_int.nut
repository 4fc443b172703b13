// Integer arithmetic in a tight loop.
local sum = 0;
for (local i = 0; i < 25000000; i++) {
    sum += (i * i) % 7 + (i >> 3) - (i & 5);
}
print(sum + "\n");
