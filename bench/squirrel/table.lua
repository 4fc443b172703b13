-- Table inserts, lookups and deletes with string and integer keys.
local t = {}
for i = 0, 799999 do t["k" .. (i % 5000)] = i end
local hits = 0
for i = 0, 1599999 do if t["k" .. (i % 7000)] ~= nil then hits = hits + 1 end end
local it = {}
for i = 0, 999999 do it[i] = i * 2 end
local isum = 0
for i = 0, 999999 do isum = isum + it[i] end
for i = 0, 999999, 2 do it[i] = nil end
local n, count = 0, 0
for k, v in pairs(it) do n = n + v - k; count = count + 1 end
local names = { alpha = 1, beta = 2, gamma = 3, delta = 4 }
local f = 0
for i = 0, 1999999 do f = f + names.alpha + names.delta end
print(hits .. " " .. isum .. " " .. count .. " " .. n .. " " .. f)
