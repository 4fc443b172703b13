// String concatenation, formatting, slicing and searching.
local s = "";
for (local i = 0; i < 20000; i++) s += i % 10;
local parts = [];
for (local i = 0; i < 100000; i++) parts.append(format("%d:%s", i, "x"));
local n = 0;
foreach (p in parts) n += p.len();
local found = 0;
for (local i = 0; i < 100000; i++) {
    local sub = s.slice(i % 1000, i % 1000 + 10);
    if (sub.find("7") != null) found++;
}
local up = 0;
for (local i = 0; i < 50000; i++) up += ("abc" + i).toupper().len();
print(s.len() + " " + n + " " + found + " " + up + "\n");
