function p(x) { print(x + "\n"); }

function counter() {
    local n = 0;
    return function() { n++; return n; };
}
local c1 = counter();
c1();
c1();
p(c1());
local c2 = counter();
p(c2());
function pair() {
    local v = 0;
    return [function() { v++; }, function() { return v; }];
}
local pr = pair();
pr[0]();
pr[0]();
p(pr[1]());
local sq = @(x) x * x;
p(sq(7));
local env = { k = "env" };
function getk() { return this.k; }
local bound = getk.bindenv(env);
p(bound());
local offset = 100;
local addb = @(x) x + offset;
p(addb(1));
offset = 200;
p(addb(1));
local total = 0;
[1, 2, 3].apply(function(v) { total += v; return v; });
p(total);
function make_adder(n) { return @(x) x + n; }
local add5 = make_adder(5);
local add7 = make_adder(7);
p(add5(1) + " " + add7(1));
local compose = @(f, g) @(x) f(g(x));
p(compose(add5, sq)(3));
// a local that a frame returns while a closure made there still reads it
function keep_and_return(n) { local g = @() n; ::kept <- g; return n; }
p(keep_and_return(5) + " " + kept());
function keep_and_pick(n) { local k = n * 2; ::kept <- @() k; return n > 0 ? k : -k; }
p(keep_and_pick(4) + " " + kept() + " " + keep_and_pick(-1) + " " + kept());
