// a control byte is refused where it stands
local v = 1  2;
