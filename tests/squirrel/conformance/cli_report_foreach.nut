// The hidden state of foreach in LOCALS: @INDEX@ when there is no key variable,
// @ITERATOR@ only when the container is a local of the same function. Each
// report comes from inside call(), which reports even when the error is caught.
function report(f) {
    try { f.call(this); } catch (e) {}
}
report(function() {
    local arr = [5, 6];
    foreach (v in arr) { if (v == 6) null.x; }
});
report(function() {
    foreach (v in [5]) null.x;
});
report(function() {
    local t = { a = 1 };
    foreach (k, v in t) { local z = 3; null.x; }
});
try {
    (function(...) {
        foreach (i, v in (vargv)) null.x;
    }).call(this, 7);
} catch (e) {}
local outer = [1];
report(function() {
    foreach (v in outer) null.x;
});
print("done\n");
