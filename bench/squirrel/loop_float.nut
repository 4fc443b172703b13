// Float arithmetic and math-library calls in a loop.
local x = 0.0, y = 1.0;
for (local i = 0; i < 2000000; i++) {
    x = x * 0.999 + y * 0.001;
    y = y + x * 0.5 - 0.25;
    if (y > 10.0) y -= 10.0;
    else if (y < -10.0) y += 10.0;
}
local s = 0.0;
for (local i = 0; i < 300000; i++) s += sin(i * 0.01) * cos(i * 0.02) + sqrt(i);
print(format("%.3f %.3f %.1f\n", x, y, s));
