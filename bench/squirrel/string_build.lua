-- Strings built from numbers and text: concatenation, lengths and a few searches.
local total = 0
for i = 0, 799999 do
  local line = "x=" .. i .. " y=" .. (i * 0.5) .. " id" .. (i % 97)
  total = total + #line
end
local parts = {}
for i = 0, 199999 do parts[#parts + 1] = "item" .. i end
local joined = ""
for i = 1, 2000 do joined = joined .. parts[i] .. "," end
local found = 0
for i = 1, 200000 do if string.find(parts[i], "7", 1, true) ~= nil then found = found + 1 end end
print(total .. " " .. #joined .. " " .. found)
