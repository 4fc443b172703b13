function p(x) { print(x + "\n"); }

local log = [];
local watcher = {
    function _newslot(k, v) { log.append("new " + k); this.rawset(k, v * 10); }
    function _delslot(k) { log.append("del " + k); this.rawdelete(k); }
};
local t = {}.setdelegate(watcher);
t.a <- 1;
p(t.a);
t.a <- 2;
p(t.a);
delete t.a;
p("a" in t);
foreach (l in log) p(l);
p(t.len());
local comparable = {
    _cmp = function(other) {
        if (name < other.name) return -1;
        if (name > other.name) return 1;
        return 0;
    }
};
local a = { name = "Alberto" }.setdelegate(comparable);
local b = { name = "Wouter" }.setdelegate(comparable);
if (a > b) p("a>b");
else p("b<=a");
p(a < b);
p(a <=> b);
class Strict {
    function _get(k) {
        if (k == "magic") return 42;
        throw null;
    }
}
local s = Strict();
p(s.magic);
try { p(s.other); } catch (e) { p(e); }
local callable = {}.setdelegate({ function _call(thisobj, x) { return x + 1; } });
p(callable(41));
