// String to number: a '.' anywhere, or an 'e' where it is no digit of the base,
// reads the string as a C float (longest prefix, hex floats, inf and nan);
// anything else reads as a C integer in the base, saturating.
function p(x) { print(x + "\n"); }
function err(f) { try { p(f()); } catch (e) { p(e); } }
err(@() "3e2".tointeger());
err(@() "2.5e3xyz".tointeger());
err(@() ".5".tointeger());
err(@() "0x1Fe".tointeger());
err(@() "  -7.9".tointeger());
err(@() "infinity.".tointeger());
err(@() "nan.".tointeger());
err(@() "1e30".tointeger());
err(@() "a.b".tointeger(16));
err(@() "1e3".tointeger(8));
err(@() "1e3".tointeger(14));
err(@() "1e3".tointeger(15));
err(@() "1e3".tointeger(16));
err(@() "0x2A".tofloat());
err(@() "99999999999999999999".tofloat());
err(@() "99999999999999999999".tointeger());
err(@() "-99999999999999999999".tointeger());
err(@() "021".tointeger(0));
err(@() "0x2A".tointeger(0));
err(@() "0x2A".tointeger(16));
err(@() "ff".tointeger(16));
err(@() "  +12abc".tointeger());
err(@() "101".tointeger(2));
err(@() "z".tointeger(36));
err(@() "7".tointeger(37));
err(@() "7".tointeger(1));
err(@() "x".tointeger(1));
err(@() "inf".tofloat());
err(@() "-0".tofloat());
err(@() "-0.0".tofloat());
err(@() "1.5".tofloat());
err(@() "0x1p4.".tofloat());
err(@() "".tointeger());
err(@() "abc".tofloat());
err(@() "- 1".tointeger());
