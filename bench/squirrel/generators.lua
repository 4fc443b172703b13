-- Generators: a counting generator read by foreach, a filtering generator over
-- another one, and explicit resume.
function range(n)
  return coroutine.wrap(function() for i = 0, n - 1 do coroutine.yield(i) end end)
end
function evens(g)
  return coroutine.wrap(function() for v in g do if v % 2 == 0 then coroutine.yield(v) end end end)
end
local s = 0
for v in range(3000000) do s = s + v end
local e = 0
for v in evens(range(2000000)) do e = e + v end
function fibgen()
  return coroutine.wrap(function()
    local a, b = 0, 1
    while true do
      coroutine.yield(a)
      local t = a + b
      a = b
      b = t % 1000000007
    end
  end)
end
local g = fibgen()
local f = 0
for i = 0, 1999999 do f = (f + g()) % 1000000007 end
print(s .. " " .. e .. " " .. f)
