// Parameter counts: script functions report what was passed and required
// (this included), natives a bare message; getinfos of both kinds.
function p(x) { print(x + "\n"); }
function err(f) { try { p(f()); } catch (e) { p(e); } }
err(@() (function(p, q, r) {})(1));
err(@() (function(p, q = 1) {})());
err(@() (function(p, q = 1) {})(1, 2, 3));
err(@() (function(p, q = 1) {})(1));
err(@() (function(p, q, ...) {})(1));
err(@() (function(p, q, ...) { return vargv.len(); })(1, 2, 3, 4));
err(@() (function(p) {}).call());
err(@() (function(p) {}).acall([]));
err(@() (function(p) {}).acall([this, 1, 2]));
class K { constructor(a, b) {} }
err(@() K(1));
// natives
err(@() print());
err(@() print(1, 2));
err(@() abs());
err(@() "s".len(1));
err(@() [].insert(1));
err(@() format());
err(@() type());
err(@() split("p"));
err(@() strip());
err(@() (5).tochar(1));
// a closure-or-native mask reads function|function
err(@() [].sort(5));
err(@() newthread(5));
err(@() [].map(5));
err(@() [].filter(5));
err(@() [].reduce(5));
err(@() [].apply(5));
err(@() {}.filter(5));
err(@() {}.map(5));
err(@() "x".slice("a"));
// getinfos
function list(a) {
    if (a == null) return "null";
    local s = "[";
    foreach (i, x in a) s += (i ? "," : "") + x;
    return s + "]";
}
p(list((function(p, ...) {}).getinfos().parameters));
p(list((function(p, q = 2) {}).getinfos().parameters) + " " + list((function(p, q = 2) {}).getinfos().defparams));
function show(f) {
    local i = f.getinfos();
    p(i.name + " " + i.paramscheck + " " + list(i.typecheck));
}
show(print);
show(assert);
show(callee);
show(clock);
show(collectgarbage);
show((1).weakref);
show("".weakref);
show([].weakref);
show("".slice);
show([].slice);
show(show.call);
show(show.pcall);
show(show.acall);
show("".tolower);
show("".toupper);
show("".tostring);
show((1).tostring);
show([].tostring);
show({}.tostring);
show([].clear);
show({}.clear);
show({}.getdelegate);
show({}.setdelegate);
show([].reduce);
show(newthread(print).wakeupthrow);
show({}.map);
