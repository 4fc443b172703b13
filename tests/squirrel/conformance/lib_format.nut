function p(x) { print(x + "\n"); }

p(format("%s %d 0x%02X", "this is a test :", 123, 10));
p(format("%5d|%-5d|%05d", 42, 42, 42));
p(format("%x %X %o", 255, 255, 8));
p(format("%c%c%c", 65, 66, 67));
p(format("%.2f", 3.14159));
p(format("%8.3f|", 2.5));
p(format("%e", 12345.678));
p(format("%g", 0.0001));
p(format("%g", 1e20));
p(format("%.3s", "abcdef"));
p(format("%10s|", "hi"));
p(format("%-10s|", "hi"));
p(format("100%%"));
p(format("%d", 3.9));
p(format("%f", 1));
p(format("%+d %+d", 5, -5));
p(format("% d", 5));
p(format("%i", 7));
p(format("[%5.1f]", -1.26));
p(format("%d", 0x7fffffffffffffff));
p(format("%x", -1));
p(format("no args"));
p(format("%s and %s", "one", "two"));
try { format("%d"); } catch (e) { p(e); }
printf("%d-%s\n", 1, "a");
printf("%05.1f\n", 2.25);
