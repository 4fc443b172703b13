// Where an error is reported: inside call(), acall() and threads even when a
// try outside catches it; never inside library callbacks, metamethods, pcall
// or generators, whose errors come out into the calling frame; an error that
// escapes both call() and the script is reported twice.
function p(x) { print(x + "\n"); }
try { (function() { local a = 1; throw "in call"; }).call(this); } catch (e) { p("caught " + e); }
try { (function(x) { throw "in acall"; }).acall([this, 1]); } catch (e) { p("caught " + e); }
try { [1].map(function(v) { throw "in map"; }); } catch (e) { p("caught " + e); }
try { [2, 1].sort(function(a, b) { throw "in sort"; }); } catch (e) { p("caught " + e); }
class M { function _add(o) { throw "in _add"; } function _tostring() { throw "in _tostring"; } }
try { local s = M() + 1; } catch (e) { p("caught " + e); }
try { print(M()); } catch (e) { p("caught " + e); }
try { (function() { throw "in pcall"; }).pcall(this); } catch (e) { p("caught " + e); }
function gen() { yield 1; throw "in generator"; }
try { foreach (v in gen()) p("yielded " + v); } catch (e) { p("caught " + e); }
local t = newthread(function() { suspend(1); throw "in thread"; });
t.call();
try { t.wakeup(); } catch (e) { p("caught " + e); }
function outer() { local o = 2; (function() { local i = 3; throw "twice"; }).call(this); }
outer();
