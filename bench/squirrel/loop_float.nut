// Float arithmetic and comparisons in a loop.
local x = 0.0, y = 1.0, acc = 0.0;
for (local i = 0; i < 12000000; i++) {
    x = x * 0.999 + y * 0.001;
    y = y + x * 0.5 - 0.25;
    if (y > 10.0) y -= 10.0;
    else if (y < -10.0) y += 10.0;
    acc += x * y / (1.0 + x * x);
}
print(format("%.3f %.3f %.1f\n", x, y, acc));
