-- Closures: made in a loop, capturing locals, called through variables and
-- passed to other functions.
function make_counter(step)
  local n = 0
  return function() n = n + step; return n end
end
function apply_n(f, k)
  local r = 0
  for i = 0, k - 1 do r = f(r, i) end
  return r
end
local c = make_counter(3)
local t = 0
for i = 0, 3999999 do t = t + c() end
local made = 0
for i = 0, 1499999 do
  local k = i
  local f = function(x) return x + k end
  made = made + f(1)
end
local add = function(p, q) return p + q end
local s = apply_n(add, 4000000)
local scale = 2
local m = apply_n(function(p, q) return p + q * scale end, 2500000)
print(t .. " " .. made .. " " .. s .. " " .. m)
