// Generators: a counting generator read by foreach, a filtering generator over
// another one, and explicit resume.
function range(n) {
    for (local i = 0; i < n; i++) yield i;
}
function evens(g) {
    foreach (v in g) if (v % 2 == 0) yield v;
}
local s = 0;
foreach (v in range(3000000)) s += v;
local e = 0;
foreach (v in evens(range(2000000))) e += v;
function fibgen() {
    local a = 0, b = 1;
    while (true) {
        yield a;
        local t = a + b;
        a = b;
        b = t % 1000000007;
    }
}
local g = fibgen();
local f = 0;
for (local i = 0; i < 2000000; i++) f = (f + resume g) % 1000000007;
print(s + " " + e + " " + f + "\n");
