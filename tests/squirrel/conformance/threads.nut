function p(x) { print(x + "\n"); }

function worker(a) {
    p("start " + a);
    local r = suspend("s1");
    p("got " + r);
    local r2 = suspend("s2");
    return "end " + r2;
}
local t = newthread(worker);
p(typeof t);
p(t.getstatus());
p(t.call(1));
p(t.getstatus());
p(t.wakeup("x"));
p(t.wakeup("y"));
p(t.getstatus());
function producer() {
    for (local i = 1; i <= 3; i++) suspend(i * 100);
    return 0;
}
local pt = newthread(producer);
local total = pt.call();
while (pt.getstatus() == "suspended") {
    local v = pt.wakeup();
    total += v;
}
p(total);
