// foreach has one key and one value variable for the whole loop: closures made
// in the body share them and see what the loop left there; locals declared in
// the body are new on every pass.
function p(x) { print(x + "\n"); }
local fs = [];
foreach (i, v in ["p", "q"]) fs.append(@() i + v);
p(fs[0]() + " " + fs[1]());
fs = [];
foreach (i, v in ["p", "q", "r"]) {
    fs.append(@() i + v);
    if (v == "q") break;
}
p(fs[0]() + " " + fs[1]());
fs = [];
foreach (v in [1, 2, 3]) {
    local fresh = v * 10;
    fs.append(@() fresh + v);
}
p(fs[0]() + " " + fs[1]() + " " + fs[2]());
// a closure may change the loop variable; the next pass overwrites it
local arr = [5, 6];
foreach (i, v in arr) {
    local set = function() { v = 100; };
    set();
    p(i + ":" + v);
}
// generators: the value ends as the return value, the key as the count yielded
function gen() { yield 1; yield 2; }
function gen2() { yield "a"; return "done"; }
fs = [];
foreach (v in gen()) fs.append(@() v);
p(fs[0]() + " " + fs[1]());
fs = [];
foreach (k, v in gen2()) fs.append(@() k + "=" + v);
p(fs[0]());
// tables: the last pair in iteration order
fs = [];
foreach (k, v in { a = 1, b = 2, c = 3 }) fs.append(@() k + v);
p(fs[0]());
// continue keeps the variables shared too
fs = [];
foreach (v in [1, 2, 3, 4]) {
    if (v % 2) continue;
    fs.append(@() v);
}
p(fs[0]() + " " + fs[1]());
// a local container is iterated in place: assigning it a new array goes on
// with that array
local xs = [1, 2, 3];
local seen = "";
foreach (x in xs) {
    seen += x;
    if (x == 1) xs = [7, 8, 9, 10];
}
p(seen);
// while an iterated expression is evaluated once
local ys = [1, 2, 3];
seen = "";
foreach (y in (function() { return ys; })()) {
    seen += y;
    ys = [0];
}
p(seen);
