local s = "text";
local n = null;
local fl = 1.5;
local flag = true;
local arr = [];
n.field = 1;
