// Table inserts, lookups and deletes; array appends, indexing and iteration.
local t = {};
for (local i = 0; i < 200000; i++) t["k" + (i % 5000)] <- i;
local hits = 0;
for (local i = 0; i < 400000; i++) if (("k" + (i % 7000)) in t) hits++;
local it = {};
for (local i = 0; i < 300000; i++) it[i] <- i * 2;
local isum = 0;
for (local i = 0; i < 300000; i++) isum += it[i];
for (local i = 0; i < 300000; i += 2) delete it[i];
local a = [];
for (local i = 0; i < 500000; i++) a.append(i);
local asum = 0;
foreach (v in a) asum += v;
for (local i = 0; i < a.len(); i++) a[i] = a[i] + 1;
print(hits + " " + isum + " " + it.len() + " " + asum + "\n");
