function p(x) { print(x + "\n"); }

function f(a) {
    local b = 2;
    local si = getstackinfos(1);
    return si.func + " " + si.src + " " + si.line + " " + si.locals.a + " " + si.locals.b;
}
p(f(1));
function me() { return callee(); }
p(me() == me);
p(getstackinfos(100));
