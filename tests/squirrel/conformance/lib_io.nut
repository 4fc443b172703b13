function p(x) { print(x + "\n"); }

local f = file("lib_io_tmp.bin", "wb+");
f.writen(123, 'i');
f.writen(2.5, 'd');
p(f.len());
f.seek(0);
p(f.readn('i'));
p(f.readn('d'));
p(f.eos() != null);
f.close();
try { f.readn('i'); } catch (e) { p("closed"); }
p(typeof stdout);
stdout.writen('A', 'b');
stdout.writen('\n', 'b');
stdout.flush();
local g = file("lib_io_tmp.nut", "w");
foreach (ch in "return 6 * 7;") g.writen(ch, 'b');
g.close();
p(dofile("lib_io_tmp.nut"));
local fn = loadfile("lib_io_tmp.nut");
p(fn());
remove("lib_io_tmp.nut");
remove("lib_io_tmp.bin");
try { file("lib_io_missing.txt", "r"); } catch (e) { p("cannot open"); }
try { loadfile("lib_io_missing.nut"); } catch (e) { p("cannot load"); }
p(typeof time());
p(typeof clock());
local dt = date(0, 'u');
p(dt.year + " " + dt.month + " " + dt.day + " " + dt.hour + " " + dt.wday + " " + dt.yday);
p(getenv("SQ_SURELY_UNSET_VARIABLE_XYZ"));
