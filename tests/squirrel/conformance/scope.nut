function p(x) { print(x + "\n"); }

g1 <- 10;
p(g1);
function readg() { return g1; }
p(readg());
function setg() { ::g1 = 20; }
setg();
p(g1);
local g1 = "local";
p(g1);
p(::g1);
function topfn() { return "top"; }
p(getroottable().topfn());
{
    local v = 1;
    {
        local v = 2;
        p(v);
    }
    p(v);
}
local t = {
    val = "member",
    function get() { return val; }
};
p(t.get());
val <- "global";
local h = t.get;
p(h());
