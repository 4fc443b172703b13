// A returning frame drops every reference its registers hold, wherever in its
// window they sit: the only holder of each table below is a register of a
// frame that has returned, so its weak reference must be empty afterwards (a
// table slot holding a weak reference reads as what it refers to).
function p(x) { print(x + "\n"); }

local w = {};
// k picks the local (at a different register each) that keeps the table
function hold(k) {
    local a = 0, b = 0.5, c = true, d = null, e = 1, f = 2, g = 3, h = 4, i = 5, j = 6;
    local t = {};
    ::w[k] <- t.weakref();
    switch (k) {
        case 0: a = t; break;
        case 1: b = t; break;
        case 2: c = t; break;
        case 3: d = t; break;
        case 4: e = t; break;
        case 5: f = t; break;
        case 6: g = t; break;
        case 7: h = t; break;
        case 8: i = t; break;
        case 9: j = t; break;
    }
    if (k != 10) t = null;
    return k;
}
::w <- w;
local line = "";
for (local k = 0; k <= 10; k++) {
    hold(k);
    line += (w[k] == null) + " ";
}
p(line);

// small windows of every size, the reference in the last register
function w1() { local t = {}; ::w.a <- t.weakref(); return 1; }
function w2(x) { local t = [x]; ::w.b <- t.weakref(); return 2; }
function w3(x, y) { local t = [x, y]; ::w.c <- t.weakref(); return 3; }
function w4(x, y, z) { local t = [x, y, z]; ::w.d <- t.weakref(); return 4; }
p(w1() + w2(1) + w3(1, 2) + w4(1, 2, 3));
p([w.a, w.b, w.c, w.d].map(@(r) r == null).reduce(@(x, y) x && y));

// `this` of a method called on a temporary
local o = { function m() { ::w.self <- this.weakref(); return 0; } };
local tmp = clone o;
tmp.m();
tmp = null;
p(w.self == null);

// frames of callbacks run by library functions: sort's comparator and map's function
local arr = [3, 1, 2];
arr.sort(function(x, y) { local t = {}; ::w.cmp <- t.weakref(); return x <=> y; });
p(arr[0] + " " + (w.cmp == null));
[1].map(function(x) { local t = [x]; ::w.map <- t.weakref(); return x; });
p(w.map == null);

// a tail call reuses the frame: what the caller held goes at once
function tail2(x) { return x; }
function tail1() { local t = {}; ::w.tail <- t.weakref(); return tail2(::w.tail != null); }
p(tail1() + " " + (w.tail == null));

// the value returned stays alive; the frame that made it does not keep it
function make() { local pad = [0, 1, 2, 3, 4, 5, 6]; local t = { v = 7 }; ::w.made <- pad.weakref(); return t; }
local got = make();
p(got.v + " " + (w.made == null));
