// suspend() without an argument hands the waker the this of the suspend call.
function p(x) { print(x + "\n"); }
local t = newthread(function(a) {
    local r = suspend();
    p("woke with " + r);
    suspend(a * 2);
    return "finished";
});
p(typeof t.call(21));
p(t.getstatus());
p(t.wakeup("hello"));
p(t.wakeup());
p(t.getstatus());
local owner = { tag = "own this", function go() { suspend(); } };
local u = newthread(function() { owner.go(); });
p(u.call().tag);
