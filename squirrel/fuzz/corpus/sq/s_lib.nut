local s = format("%5.2f %s %d %x", 1.5, "a", 3, 255); print(s); print(regexp("(a+)b").capture("xaab")[1].end);
