// Table inserts, lookups and deletes with string and integer keys.
local t = {};
for (local i = 0; i < 800000; i++) t["k" + (i % 5000)] <- i;
local hits = 0;
for (local i = 0; i < 1600000; i++) if (("k" + (i % 7000)) in t) hits++;
local it = {};
for (local i = 0; i < 1000000; i++) it[i] <- i * 2;
local isum = 0;
for (local i = 0; i < 1000000; i++) isum += it[i];
for (local i = 0; i < 1000000; i += 2) delete it[i];
local n = 0;
foreach (k, v in it) n += v - k;
local names = { alpha = 1, beta = 2, gamma = 3, delta = 4 };
local f = 0;
for (local i = 0; i < 2000000; i++) f += names.alpha + names.delta;
print(hits + " " + isum + " " + it.len() + " " + n + " " + f + "\n");
