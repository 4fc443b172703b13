local ok = 1;
local x = ;
