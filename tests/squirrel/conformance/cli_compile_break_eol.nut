local v = 1;
if (v) break
print(v);
