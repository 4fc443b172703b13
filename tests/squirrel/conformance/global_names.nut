// Bare names that miss in `this` and come from the root table: each lookup must
// see the root as it is now, whatever the same instruction found before.
g <- 1;
function readg() { return g; }
local env = { other = 0 };
local viaenv = readg.bindenv(env);
class Reader {
    function get() { return g; }
    function call() { return helper(); }
}
function helper() { return "helper 1"; }
local r = Reader();
local function show(label) {
    local out = [];
    foreach (f in [@() viaenv(), @() r.get(), @() r.call()]) {
        try {
            out.append(f() + "," + f());
        } catch (e) {
            out.append("error: " + e);
        }
    }
    print(label + ": " + out.reduce(@(a, b) a + " | " + b) + "\n");
}
show("start");
g = 2;
::helper = function() { return "helper 2"; };
show("rebound");
// a global table growing moves its nodes
for (local i = 0; i < 500; i++) getroottable()["filler" + i] <- i;
g = 3;
show("after growth");
delete g;
delete ::helper;
show("deleted");
getroottable().setdelegate({ g = "from delegate", helper = @() "delegate helper" });
show("root delegate");
g <- 4;
::helper <- @() "helper 4";
show("new slots");
env.g <- "shadow in this";
show("shadowed in this");
delete env.g;
env.setdelegate({ g = "this delegate" });
show("this delegate");
env.setdelegate(null);
show("delegate dropped");
local newroot = { g = "new root", helper = @() "new root helper", print = print };
local old = setroottable(newroot);
show("new root");
::g = "new root rebound";
show("new root rebound");
setroottable(old);
show("old root back");
// a closure's own root, then the VM's root once that table is gone
local own = readg.bindenv(env);
local keep = { g = "own root" };
print(own() + " " + own() + "\n");
own.setroot(keep);
print(own() + " " + own() + "\n");
keep.g = "own root rebound";
print(own() + " " + own() + "\n");
keep = null;
setroottable(newroot);
print(own() + " " + own() + "\n");
