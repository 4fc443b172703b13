// sort's compare function in every shape a script can give it: what it sees,
// what its errors do, and the order of its calls.
function p(x) { print(x + "\n"); }
function list(a) { local s = ""; foreach (x in a) s += x + " "; return s; }

// an error thrown inside leaves sort as it was thrown, the thrower's frames gone
local thrown = { what = "custom" };
try {
    [3, 1, 2].sort(function(a, b) { throw thrown; });
} catch (e) {
    p((e == thrown) + " " + e.what);
}
try {
    [3, 1, 2].sort(function(a, b) { return a.nosuch; });
} catch (e) {
    p(e);
}
// an error caught inside the compare function does not stop the sort
local caught = 0;
local arr = [5, 3, 4, 1, 2];
arr.sort(function(a, b) {
    try {
        if (a == 3) throw "three";
    } catch (e) {
        caught++;
    }
    return a <=> b;
});
p(list(arr) + (caught > 0));

// compare functions that cannot go straight into a frame: varargs, a default
// parameter, a bound environment, a generator function
arr = [2, 3, 1];
arr.sort(function(...) { return vargv[0] <=> vargv[1]; });
p(list(arr));
arr.sort(function(a, b, k = -1) { return k * (a <=> b); });
p(list(arr));
local env = { sign = 1 };
arr.sort((function(a, b) { return sign * (a <=> b); }).bindenv(env));
p(list(arr));
try {
    arr.sort(function(a, b) { yield a; });
} catch (e) {
    p(e);
}
try {
    arr.sort(function(a) { return 0; });
} catch (e) {
    p(e);
}

// a result that is no number is an error, and nothing keeps it alive afterwards
local w = {};
::w <- w;
try {
    [1, 2].sort(function(a, b) { local t = {}; ::w.res <- t.weakref(); return t; });
} catch (e) {
    p(e + " " + (w.res == null));
}

// a compare function that sorts: the inner sort's calls nest inside the outer's
local rows = [[3, 1, 2], [9, 7, 8], [6, 4, 5]];
rows.sort(function(x, y) {
    x.sort();
    y.sort(@(a, b) a <=> b);
    return x[0] <=> y[0];
});
foreach (r in rows) p(list(r));

// the calls and their order, with a compare function that counts them
local calls = [];
arr = [4, 2, 5, 1, 3, 6];
arr.sort(function(a, b) { calls.append(a + "" + b); return b <=> a; });
p(list(arr));
p(list(calls));

// a debug hook set from inside the compare function sees the later calls
::seen <- 0;
function cmp(a, b) {
    if (::seen == 0) setdebughook(function(type, src, line, fn) { if (type == 'c' && fn == "cmp") ::seen++; });
    return a <=> b;
}
arr = [3, 1, 2, 5, 4];
arr.sort(cmp);
setdebughook(null);
p(list(arr) + ::seen);
