function p(x) { print(x + "\n"); }

try { foreach (x in 5) {} } catch (e) { p(e); }
local notclass = 5;
try { class C extends notclass {} } catch (e) { p(e); }
try { resume notclass; } catch (e) { p(e); }
class Bad { function _cmp(o) { return "x"; } }
try { local r = Bad() < Bad(); } catch (e) { p(e); }
local t = {};
try { t[null] <- 1; } catch (e) { p(e); }
try { local x = 5 % 0; } catch (e) { p(e); }
try { local x = 5 / 0; } catch (e) { p(e); }
try { local x = ~1.5; } catch (e) { p(e); }
try { local x = -"s"; } catch (e) { p(e); }
try { local x = [] + 1; } catch (e) { p(e); }
try { local x = 1 < []; } catch (e) { p(e); }
