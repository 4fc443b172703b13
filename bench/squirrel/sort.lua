-- Sorting: the default order and a script compare function.
local seed = 99
local a = {}
for i = 1, 600000 do
  seed = (seed * 1103515245 + 12345) % 2147483648
  a[i] = seed
end
local b = {}
for i = 1, #a do b[i] = a[i] end
table.sort(a)
table.sort(b, function(p, q) return p > q end)
print(tostring(a[1] <= a[2]) .. " " .. tostring(b[1] >= b[2]) .. " " .. a[101] .. " " .. b[101])
