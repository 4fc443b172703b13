// Strings built from numbers and text: concatenation, lengths and a few searches.
local total = 0;
for (local i = 0; i < 800000; i++) {
    local line = "x=" + i + " y=" + (i * 0.5) + " id" + (i % 97);
    total += line.len();
}
local parts = [];
for (local i = 0; i < 200000; i++) parts.append("item" + i);
local joined = "";
for (local i = 0; i < 2000; i++) joined += parts[i] + ",";
local found = 0;
for (local i = 0; i < 200000; i++) if (parts[i].find("7") != null) found++;
print(total + " " + joined.len() + " " + found + "\n");
